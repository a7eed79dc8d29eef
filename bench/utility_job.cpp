#include "utility_job.h"

#include "dialog/ui_services.h"
#include "installer/installer_package.h"
#include "system/text_conversion.h"

#include <map>
#include <memory>
#include <stdexcept>

namespace bench {

namespace {

// Message boxes are remembered, never shown.
class remembered_messages : public ui_services {
public:
    int message_box(const std::u16string& text, UINT) override {
        last = sys::utf16_to_utf8(text);
        return IDOK;
    }
    std::optional<std::u16string> choose_file(const file_dialog_request&) override { return std::nullopt; }
    void show_balloon_tip(const balloon_tip_request&) override {}
    void open_url(const std::u16string&) override {}
    std::string last;
};

std::u16string u16(const std::string& text) { return sys::utf8_to_utf16(text); }

// The values the load command reads, by name.
using read_values = std::map<std::string, std::string>;

read_values load_reads(installer_package& package) {
    read_values v;
    auto property = [&](const char* name) { v[name] = sys::utf16_to_utf8(package.read_property(u16(name))); };
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
        case setting_write::kind::property: package.set_property(u16(w.name), u16(w.value)); break;
        case setting_write::kind::registry_text: package.set_registry_value(u16(w.name), u16(w.value)); break;
        case setting_write::kind::registry_number:
            package.set_registry_number(u16(w.name), std::stoi(w.value));
            break;
    }
}

}  // namespace

utility_costs run_utility_job(const std::filesystem::path& path) {
    remembered_messages messages;
    ui_services* previous = set_ui_services(&messages);
    utility_costs costs;
    try {
        phase_meter load;
        auto package = std::make_unique<installer_package>(sys::from_fs_path(path));
        if (!package->is_open()) throw std::runtime_error("the package did not open: " + messages.last);
        const read_values values = load_reads(*package);
        costs.load = load.stop();

        costs.written = unchanged_settings_writes(values);
        phase_meter writes;
        for (const auto& w : costs.written) write_setting(*package, w);
        costs.writes = writes.stop();

        phase_meter transform;
        package->generate_transform();
        costs.transform = transform.stop();
        costs.outcome = messages.last;

        auto mst = path;
        mst.replace_extension(".mst");
        std::error_code ec;
        costs.transform_size = std::filesystem::file_size(mst, ec);
        std::filesystem::remove(mst, ec);
    } catch (...) {
        set_ui_services(previous);
        throw;
    }
    set_ui_services(previous);
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
