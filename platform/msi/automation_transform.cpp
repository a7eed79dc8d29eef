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
    database& db = engine();
    const auto path = transform_path(transform_file);
    guarded_transform([&] { apply_transform(db, path, error_conditions); });
}

std::vector<std::string> Database::ValidateTransform(const std::u16string& transform_file, int validation) {
    database& db = engine();
    const auto path = transform_path(transform_file);
    return guarded_transform([&] {
        const transform_reader mst(path);
        const transform_identity identity = read_transform_identity(mst.summary());
        return validate_transform(db, identity, validation == -1 ? identity.validation : validation);
    });
}

}  // namespace msi
