// Transform members of the automation Database: GenerateTransform and
// CreateTransformSummaryInfo.
#include "msi/automation.h"

#include "msi/code_page.h"
#include "msi/database.h"
#include "msi/transform_file.h"
#include "msi/transform_generator.h"
#include "msi/transform_summary.h"

namespace msi {
namespace {

database& reference_engine(const std::shared_ptr<Database>& reference) {
    if (!reference) throw automation_error(E_POINTER, "No reference database was given.");
    return reference->engine();
}

std::filesystem::path transform_path(const std::u16string& file) {
    if (file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    return std::filesystem::path(to_utf8(file));
}

}  // namespace

bool Database::GenerateTransform(const std::shared_ptr<Database>& reference, const std::u16string& transform_file) {
    database& base = reference_engine(reference);
    const auto path = transform_path(transform_file);
    auto content = compare_databases(engine(), base);
    if (!content) return false;
    write_transform_file(*content, path);
    return true;
}

void Database::CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference,
                                          const std::u16string& transform_file, int error_conditions,
                                          int validation) {
    database& base = reference_engine(reference);
    const auto path = transform_path(transform_file);
    write_transform_summary(path, transform_summary(engine(), base, error_conditions, validation));
}

void Database::ApplyTransform(const std::u16string& transform_file, int error_conditions) {
    (void)transform_path(transform_file);
    (void)error_conditions;
    engine();
    throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE), "Applying transforms is not available yet.");
}

std::vector<std::string> Database::ValidateTransform(const std::u16string& transform_file, int validation) {
    (void)transform_path(transform_file);
    (void)validation;
    engine();
    throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE), "Validating transforms is not available yet.");
}

}  // namespace msi
