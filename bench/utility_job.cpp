#include "utility_job.h"

#include "installer/installer_package.h"
#include "system/text_conversion.h"

#include <memory>
#include <stdexcept>

namespace bench {

namespace {

const char* describe(installer_package::open_outcome outcome) {
    switch (outcome) {
    case installer_package::open_outcome::opened: return "opened";
    case installer_package::open_outcome::no_installer: return "no installer object";
    case installer_package::open_outcome::package_in_use: return "the package could not be opened";
    case installer_package::open_outcome::package_not_opened: return "no database for the package";
    case installer_package::open_outcome::copy_not_opened: return "the working copy could not be opened";
    case installer_package::open_outcome::code_page_unsupported: return "the package's code page is not supported";
    }
    return "unknown";
}

}  // namespace

utility_costs run_utility_job(const std::filesystem::path& path, const std::filesystem::path& keep_transform_as) {
    utility_costs costs;
    phase_meter load;
    auto package = std::make_unique<installer_package>(sys::from_fs_path(path));
    if (!package->is_open())
        throw std::runtime_error(std::string("the package did not open: ") + describe(package->opening()));
    // What "Generate MST File" writes right after a load when the
    // administrator changed nothing.
    deployment::settings_values values;
    const auto extras = deployment::read_settings(package->values(), deployment::reading::package_defaults, values);
    costs.load = load.stop();

    costs.written = deployment::plan_writes(values, extras.product_name).writes;
    phase_meter writes;
    for (const auto& w : costs.written) deployment::apply_write(package->values(), w);
    costs.writes = writes.stop();

    phase_meter transform;
    const auto outcome = package->generate_transform();
    costs.transform = transform.stop();
    costs.outcome = outcome == installer_package::transform_outcome::created
                        ? "created " + sys::utf16_to_utf8(package->transform_path())
                        : "failed";

    std::error_code ec;
    const auto mst = sys::to_fs_path(package->transform_path());
    costs.transform_size = std::filesystem::file_size(mst, ec);
    if (!keep_transform_as.empty() && costs.transform_size > 0) std::filesystem::rename(mst, keep_transform_as, ec);
    std::filesystem::remove(mst, ec);
    return costs;
}

std::string msibuild_statement(const setting_write& w) {
    const std::string name = sys::utf16_to_utf8(w.name), text = sys::utf16_to_utf8(w.text);
    switch (w.type) {
    case setting_write::kind::property:
        return "UPDATE Property SET Value = '" + text + "' WHERE Property = '" + name + "'";
    case setting_write::kind::registry_text:
        return "UPDATE Registry SET Value = '" + text + "' WHERE Name = '" + name + "'";
    case setting_write::kind::registry_number:
        return "UPDATE Registry SET Value = '#" + std::to_string(w.number) + "' WHERE Name = '" + name + "'";
    }
    return {};
}

}  // namespace bench
