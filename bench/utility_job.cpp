#include "utility_job.h"

#include "installer/installer_package.h"
#include "system/text_conversion.h"

#include <map>
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
    }
    return "unknown";
}

// The values the load command reads, by name.
using read_values = std::map<std::string, std::string>;

read_values load_reads(installer_package& package) {
    read_values v;
    auto property = [&](const char* name) { v[name] = sys::utf16_to_utf8(package.read_property(sys::utf8_to_utf16(name))); };
    property("ProductName");
    for (const char* name : {"DT_SHORTCUT", "OFFICEADDINS", "QPINSTALLPRINTERDRIVER", "DROPBOXDISABLED",
                             "ONEDRIVEDISABLED", "BOXDISABLED", "SHAREPOINTDISABLED"})
        property(name);
    v["network_disk_enabled"] = sys::utf16_to_utf8(package.read_registry_value(u"network_disk_enabled"));
    for (const char* name : {"BUGSPLAT_SENDREPORT_ENABLED", "MSAZUREIPLABELINGENABLED", "MSAZUREFORCELOGIN",
                             "IMANAGEENABLED", "IMANAGEINSTALLPATH", "KNOWLEDGEASSISTANT"})
        property(name);
    v["TermsAndConditionsAgreement"] = sys::utf16_to_utf8(package.read_control_text(u"TermsAndConditionsAgreement"));
    property("TOS_URL");
    v["PrivacyPolicyAgreement"] = sys::utf16_to_utf8(package.read_control_text(u"PrivacyPolicyAgreement"));
    property("PP_URL");
    return v;
}

// What "Generate MST File" writes right after a load when the administrator
// changed nothing: each setting as the load made it, in the write forms.
std::vector<setting_write> unchanged_settings_writes(const read_values& v) {
    auto at = [&](const char* name) { return v.count(name) ? v.at(name) : std::string(); };
    auto unless_zero = [&](const char* name) { return at(name) != "0"; };
    auto integration = [&](const char* name) { return at(name) == "#0" || at(name) == "unset"; };
    auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    auto inverted = [](bool on) { return std::string(on ? "#0" : "#1"); };
    auto switch_form = [](bool on) { return std::string(on ? "/b 1" : "/b 0"); };
    using k = setting_write::kind;
    const bool imanage = at("IMANAGEENABLED") == "1";
    const bool crash_reporting = unless_zero("BUGSPLAT_SENDREPORT_ENABLED");
    std::vector<setting_write> w{
        {k::property, "WINSPARKLE_ENABLED", "/b 0"},
        {k::property, "DT_SHORTCUT", flag(unless_zero("DT_SHORTCUT"))},
        {k::property, "OFFICEADDINS", flag(unless_zero("OFFICEADDINS"))},
        {k::property, "INSTALL_PRINTER_DRIVER", flag(unless_zero("QPINSTALLPRINTERDRIVER"))},
        {k::property, "SIGNENABLE", "1"},  // the product name holds "Pro"
        {k::property, "DROPBOXDISABLED", inverted(integration("DROPBOXDISABLED"))},
        {k::property, "ONEDRIVEDISABLED", inverted(integration("ONEDRIVEDISABLED"))},
        {k::property, "BOXDISABLED", inverted(integration("BOXDISABLED"))},
        {k::property, "SHAREPOINTDISABLED", inverted(integration("SHAREPOINTDISABLED"))},
        {k::registry_text, "network_disk_enabled", switch_form(at("network_disk_enabled") == "/b 1")},
        {k::property, "MSAZUREIPLABELINGENABLED", at("MSAZUREIPLABELINGENABLED") == "1" ? "#1" : "#0"},
        {k::property, "MSAZUREFORCELOGIN", switch_form(at("MSAZUREFORCELOGIN") == "/b 1")},
        {k::registry_text, "kBugsplatEnableCrashReporting", switch_form(crash_reporting)},
        {k::property, "BUGSPLAT_SENDREPORT_ENABLED", flag(crash_reporting)},
        {k::property, "APPLICATION_LANGUAGE", "en-US"},
        {k::property, "IMANAGEENABLED", flag(imanage)},
        {k::property, "IMANAGEINSTALLPATH", imanage ? at("IMANAGEINSTALLPATH") : "0"},
        {k::property, "KNOWLEDGEASSISTANT", switch_form(at("KNOWLEDGEASSISTANT") == "/b 1")},
        {k::registry_number, "PrintBandSize", "8388608"},
        {k::registry_number, "PrintBandCountForIgnore", "8"},
    };
    return w;
}

void write_setting(installer_package& package, const setting_write& w) {
    switch (w.type) {
        case setting_write::kind::property: package.set_property(sys::utf8_to_utf16(w.name), sys::utf8_to_utf16(w.value)); break;
        case setting_write::kind::registry_text: package.set_registry_value(sys::utf8_to_utf16(w.name), sys::utf8_to_utf16(w.value)); break;
        case setting_write::kind::registry_number:
            package.set_registry_number(sys::utf8_to_utf16(w.name), std::stoi(w.value));
            break;
    }
}

}  // namespace

utility_costs run_utility_job(const std::filesystem::path& path) {
    utility_costs costs;
    phase_meter load;
    auto package = std::make_unique<installer_package>(sys::from_fs_path(path));
    if (!package->is_open())
        throw std::runtime_error(std::string("the package did not open: ") + describe(package->opening()));
    const read_values values = load_reads(*package);
    costs.load = load.stop();

    costs.written = unchanged_settings_writes(values);
    phase_meter writes;
    for (const auto& w : costs.written) write_setting(*package, w);
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
    std::filesystem::remove(mst, ec);
    return costs;
}

std::string msibuild_statement(const setting_write& w) {
    switch (w.type) {
        case setting_write::kind::property:
            return "UPDATE Property SET Value = '" + w.value + "' WHERE Property = '" + w.name + "'";
        case setting_write::kind::registry_text:
            return "UPDATE Registry SET Value = '" + w.value + "' WHERE Name = '" + w.name + "'";
        case setting_write::kind::registry_number:
            return "UPDATE Registry SET Value = '#" + w.value + "' WHERE Name = '" + w.name + "'";
    }
    return {};
}

}  // namespace bench
