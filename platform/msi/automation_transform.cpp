// Transform members of the automation Database: GenerateTransform and
// CreateTransformSummaryInfo.
#include "msi/automation.h"

#include "msi/code_page.h"
#include "msi/database.h"
#include "msi/transform_file.h"
#include "msi/transform_generator.h"
#include "msi/transform_apply.h"
#include "msi/transform_reader.h"
#include "msi/transform_summary.h"
#include "msi/transform_validation.h"

#include <new>

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

// Failures other than automation errors become automation errors, as
// everywhere in the facade.
template <typename F>
auto guarded_transform(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const automation_error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw automation_error(E_OUTOFMEMORY, "Not enough memory to read the transform.");
    } catch (const std::exception& e) {
        throw automation_error(E_FAIL, e.what());
    }
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

void Database::ApplyTransform(const std::u16string& transform_file, int error_conditions) {
    ApplyTransform(transform_path(transform_file), error_conditions);
}

void Database::ApplyTransform(const std::filesystem::path& transform_file, int error_conditions) {
    database& db = engine();
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    guarded_transform([&] { apply_transform(db, transform_file, error_conditions); });
}

std::vector<std::string> Database::ValidateTransform(const std::u16string& transform_file, int validation) {
    return ValidateTransform(transform_path(transform_file), validation);
}

std::vector<std::string> Database::ValidateTransform(const std::filesystem::path& transform_file, int validation) {
    database& db = engine();
    if (transform_file.empty()) throw automation_error(E_INVALIDARG, "No transform file name was given.");
    return guarded_transform([&] {
        const transform_reader mst(transform_file);
        const transform_identity identity = read_transform_identity(mst.summary());
        return validate_transform(db, identity, validation == -1 ? identity.validation : validation);
    });
}

}  // namespace msi
