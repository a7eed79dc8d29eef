#include "app/headless_job.h"

#include "installer/deployment_settings.h"
#include "installer/in_memory_package.h"
#include "installer/settings_text.h"
#include "system/atomic_file.h"
#include "msi/automation.h"
#include "msi/transform/deployment_recipe.h"
#include "system/text_conversion.h"

#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace {

struct loaded_package {
    std::unique_ptr<in_memory_package> package;
    deployment::package_extras extras;
    deployment::settings_values values;
};

loaded_package load(const command_line& request) {
    loaded_package loaded;
    loaded.package = std::make_unique<in_memory_package>(request.package);
    auto how = deployment::reading::package_defaults;
    if (!request.continue_from.empty()) {
        loaded.package->apply_transform(request.continue_from);
        how = deployment::reading::as_written;
    }
    loaded.extras = deployment::read_settings(loaded.package->values(), how, loaded.values);
    return loaded;
}

// The same explanation the window gives for another product's package.
void note_coverage(loaded_package& loaded, std::ostream& err) {
    const std::string note = deployment::coverage_message(deployment::settings_coverage(loaded.package->values()));
    if (!note.empty()) err << "quorlin-deploy: " << note << '\n';
}

std::string address(const std::u16string& url, const std::u16string& markup) {
    auto found = deployment::agreement_address(url, markup);
    return found ? sys::utf16_to_utf8(*found) : std::string();
}

std::string read_text_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the settings file " + file.native());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The one line a message takes.
std::string one_line(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

int show(const command_line& request, std::ostream& out, std::ostream& err) {
    loaded_package loaded = load(request);
    note_coverage(loaded, err);
    for (const auto& [name, value] : deployment::settings_lines(loaded.values)) out << name << " = " << value << '\n';
    out << deployment::terms_address_name << " = " << address(loaded.extras.terms_url, loaded.extras.terms_text)
        << '\n';
    out << deployment::privacy_address_name << " = " << address(loaded.extras.privacy_url, loaded.extras.privacy_text)
        << '\n';
    return headless_written;
}

int generate(const command_line& request, std::ostream& out, std::ostream& err) {
    loaded_package loaded = load(request);
    note_coverage(loaded, err);
    if (!request.agree_to_terms) {
        err << "quorlin-deploy: not generated: generating a transform means agreeing to the Quorlin Terms of Service ("
            << address(loaded.extras.terms_url, loaded.extras.terms_text) << ") and Privacy Policy ("
            << address(loaded.extras.privacy_url, loaded.extras.privacy_text) << "); add --agree-to-terms\n";
        return headless_error;
    }
    if (!request.settings_file.empty()) {
        if (auto error = deployment::apply_settings_text(loaded.values, read_text_file(request.settings_file))) {
            err << "quorlin-deploy: " << one_line(request.settings_file.native() + ", " + *error) << '\n';
            return headless_error;
        }
    }
    for (const auto& assignment : request.assignments) {
        if (auto error = deployment::set_setting_assignment(loaded.values, assignment)) {
            err << "quorlin-deploy: --set " << one_line(*error) << '\n';
            return headless_error;
        }
    }

    const auto plan = deployment::plan_writes(loaded.values, loaded.extras.product_name);
    if (plan.outcome == deployment::write_outcome::imanage_path_missing) {
        err << "quorlin-deploy: imanage_install_path is empty while imanage_enabled is on; nothing written\n";
        return headless_error;
    }
    for (const auto& write : plan.writes) deployment::apply_write(loaded.package->values(), write);

    const auto target = request.output.empty() ? default_transform_path(request.package) : request.output;
    auto written = in_memory_package::transform_result::no_differences;
    try {
        written = loaded.package->write_transform(target);
    } catch (const std::exception& error) {
        err << "quorlin-deploy: " << one_line(sys::left_as_it_was(error.what(), target)) << '\n';
        return headless_error;
    }
    if (written == in_memory_package::transform_result::no_differences) {
        err << "quorlin-deploy: no differences from the package; nothing written\n";
        return headless_no_differences;
    }
    out << "MST file was created successfully in " << target.native() << '\n';
    // The recipe is read from the transform as written, applied to the
    // package afresh, so it says what an installation will get.
    auto package = msi::Installer().OpenDatabase(request.package, msi::msiOpenDatabaseModeReadOnly);
    out << msi::deployment_recipe_text(
        msi::make_deployment_recipe(package->engine(), target, request.package.native(), target.native()));
    return headless_written;
}

}  // namespace

std::filesystem::path default_transform_path(const std::filesystem::path& package) {
    std::string name = package.native();
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.erase(dot);
    return std::filesystem::path(name + ".mst");
}

int run_headless_job(const command_line& request, std::ostream& out, std::ostream& err) {
    try {
        return request.what == command_line::mode::show ? show(request, out, err) : generate(request, out, err);
    } catch (const std::exception& error) {
        err << "quorlin-deploy: " << one_line(error.what()) << '\n';
        return headless_error;
    }
}
