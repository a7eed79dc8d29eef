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
    return GenerateTransform(reference, transform_path(transform_file));
}

bool Database::GenerateTransform(const std::shared_ptr<Database>& reference,
                                 const std::filesystem::path& transform_file) {
    database& base = reference_engine(reference);
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    auto content = compare_databases(engine(), base);
    if (!content) return false;
    write_transform_file(*content, transform_file);
    return true;
}

void Database::CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference,
                                          const std::u16string& transform_file, int error_conditions,
                                          int validation) {
    CreateTransformSummaryInfo(reference, transform_path(transform_file), error_conditions, validation);
}

void Database::CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference,
                                          const std::filesystem::path& transform_file, int error_conditions,
                                          int validation) {
    database& base = reference_engine(reference);
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    write_transform_summary(transform_file, transform_summary(engine(), base, error_conditions, validation));
}

}  // namespace msi
