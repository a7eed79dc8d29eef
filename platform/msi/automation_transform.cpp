// Transform members of the automation Database: GenerateTransform and
// CreateTransformSummaryInfo, and the two in one, which writes the transform
// with its summary information as one file in one step.
#include "msi/automation.h"

#include "msi/code_page.h"
#include "msi/database.h"
#include "msi/transform_file.h"
#include "msi/transform_generator.h"
#include "msi/transform_summary.h"
#include "system/text_conversion.h"

namespace msi {
namespace {

database& reference_engine(const std::shared_ptr<Database>& reference) {
    if (!reference) throw automation_error(E_POINTER, "No reference database was given.");
    return reference->engine();
}

std::filesystem::path transform_path(const std::u16string& file) {
    if (file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    return sys::to_fs_path(file);
}

// Tables read earlier must still be what the files hold.
void check_unchanged(database& target, database& reference) {
    target.storage().check_unchanged();
    reference.storage().check_unchanged();
}

}  // namespace

bool Database::GenerateTransform(const std::shared_ptr<Database>& reference, const std::u16string& transform_file) {
    database& base = reference_engine(reference);
    const auto path = transform_path(transform_file);
    check_unchanged(engine(), base);
    auto content = compare_databases(engine(), base);
    if (!content) return false;
    write_transform_file(*content, nullptr, path);
    return true;
}

bool Database::GenerateTransformWithSummary(const std::shared_ptr<Database>& reference,
                                            const std::u16string& transform_file, int error_conditions,
                                            int validation) {
    database& base = reference_engine(reference);
    const auto path = transform_path(transform_file);
    check_unchanged(engine(), base);
    auto content = compare_databases(engine(), base);
    if (!content) return false;
    const summary_information summary = transform_summary(engine(), base, error_conditions, validation);
    write_transform_file(*content, &summary, path);
    return true;
}

void Database::CreateTransformSummaryInfo(const std::shared_ptr<Database>& reference,
                                          const std::u16string& transform_file, int error_conditions,
                                          int validation) {
    database& base = reference_engine(reference);
    const auto path = transform_path(transform_file);
    check_unchanged(engine(), base);
    write_transform_summary(path, transform_summary(engine(), base, error_conditions, validation));
}

}  // namespace msi
