#include "support/deployment_fixtures.h"

#include "installer/deployment_settings.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "system/text_conversion.h"

#include <sstream>
#include <vector>

namespace window_test {
namespace {

using test_support::idt_table;
using pairs = std::vector<std::pair<std::string, std::string>>;

pairs as_pairs(const value_map& values) { return {values.begin(), values.end()}; }

idt_table dialog_table() {
    return {"Dialog",
            "Dialog\tHCentering\tVCentering\tWidth\tHeight\tAttributes\tTitle\tControl_First\t"
            "Control_Default\tControl_Cancel\n"
            "s72\ti2\ti2\ti2\ti2\tI4\tL128\ts50\tS50\tS50\n"
            "Dialog\tDialog\n"
            "LicenseDlg\t50\t50\t370\t270\t3\tLicense\tTerms\t\t\n"};
}

// The agreements as the product's own installer dialogs hold them: hyperlink markup.
idt_table control_table(const std::string& terms_text, const std::string& privacy_text) {
    return {"Control",
            "Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText\tControl_Next\tHelp\n"
            "s72\ts50\ts20\ti2\ti2\ti2\ti2\tI4\tS72\tL0\tS50\tL50\n"
            "Control\tDialog_\tControl\n"
            "LicenseDlg\tTermsAndConditionsAgreement\tHyperlink\t20\t200\t330\t15\t3\t\t" +
                terms_text +
                "\tPrivacyPolicyAgreement\t\n"
                "LicenseDlg\tPrivacyPolicyAgreement\tHyperlink\t20\t220\t330\t15\t3\t\t" +
                privacy_text + "\t\t\n"};
}

void build(const std::filesystem::path& out, std::vector<idt_table> tables) {
    test_support::msi_source source;
    source.tables = std::move(tables);
    test_support::build_msi(out, source);
}

std::string unescape(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char next = field[++i];
        if (next == 't')
            text += '\t';
        else if (next == 'n')
            text += '\n';
        else if (next == 'r')
            text += '\r';
        else if (next == 'x' && i + 2 < field.size()) {
            text += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            text += next;
    }
    return text;
}

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(unescape(line.substr(start, tab - start)));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

}  // namespace

value_map pro_package_properties() {
    return {
        {"ProductName", "Quorlin PDF Pro"},
        {"ProductCode", "{0E5C8E53-3C2B-4E3F-9B1F-3A3C2D1E0F01}"},
        {"ProductVersion", "26.4.4.1"},
        {"ProductLanguage", "1033"},
        {"Manufacturer", "Quorlin"},
        {"DT_SHORTCUT", "0"},
        {"OFFICEADDINS", "false"},
        {"QPINSTALLPRINTERDRIVER", "0"},
        {"INSTALL_PRINTER_DRIVER", "1"},
        {"SIGNENABLE", "0"},
        {"DROPBOXDISABLED", "#0"},
        {"ONEDRIVEDISABLED", "unset"},
        {"BOXDISABLED", "#1"},
        {"SHAREPOINTDISABLED", "0"},
        {"BUGSPLAT_SENDREPORT_ENABLED", "0"},
        {"MSAZUREIPLABELINGENABLED", "1"},
        {"MSAZUREFORCELOGIN", "/b 1"},
        {"IMANAGEENABLED", "1"},
        {"IMANAGEINSTALLPATH", "C:\\Program Files\\iManage\\Work10"},
        {"KNOWLEDGEASSISTANT", "/b 1"},
        {"WINSPARKLE_ENABLED", "/b 1"},
        {"APPLICATION_LANGUAGE", "en-US"},
        {"TOS_URL", "https://quorlin.example/terms-from-property"},
    };
}

value_map pro_package_registry() {
    return {
        {"network_disk_enabled", "/b 1"},
        {"kBugsplatEnableCrashReporting", "/b 1"},
        {"PrintBandSize", "#8388608"},
        {"PrintBandCountForIgnore", "#8"},
    };
}

void build_pro_package(const std::filesystem::path& out) {
    build(out, {test_support::property_table(as_pairs(pro_package_properties())),
                test_support::registry_table(as_pairs(pro_package_registry())), dialog_table(),
                control_table("I agree to the <a href=\"https://quorlin.example/terms-from-markup\">Terms</a>",
                              "Read the <a href=\"https://quorlin.example/privacy\">Privacy Policy</a>")});
}

void build_plain_package(const std::filesystem::path& out) {
    const pairs properties{
        {"ProductName", "Quorlin PDF PRO"},
        {"ProductCode", "{0E5C8E53-3C2B-4E3F-9B1F-3A3C2D1E0F02}"},
        {"ProductVersion", "26.4.4.1"},
        {"DT_SHORTCUT", "1"},
        {"OFFICEADDINS", "0"},
        {"SIGNENABLE", "0"},
        {"DROPBOXDISABLED", "#1"},
        {"ONEDRIVEDISABLED", "1"},
        {"BOXDISABLED", "unset"},
        {"SHAREPOINTDISABLED", "#0"},
        {"MSAZUREIPLABELINGENABLED", "#1"},
        {"MSAZUREFORCELOGIN", "1"},
        {"IMANAGEENABLED", "0"},
        {"IMANAGEINSTALLPATH", "E:\\not\\read"},
        {"KNOWLEDGEASSISTANT", "1"},
        {"PP_URL", "http://quorlin.example/privacy-from-property"},
    };
    build(out,
          {test_support::property_table(properties), test_support::registry_table({{"network_disk_enabled", "/b 0"}}),
           dialog_table(), control_table("no link here", "no link either")});
}

value_map contrary_package_properties() {
    return {
        {"ProductName", "Quorlin PDF Pro"},
        {"ProductCode", "{0E5C8E53-3C2B-4E3F-9B1F-3A3C2D1E0F05}"},
        {"ProductVersion", "26.4.4.1"},
        {"WINSPARKLE_ENABLED", "/b 1"},
        {"DT_SHORTCUT", "yes"},
        {"OFFICEADDINS", "on"},
        {"QPINSTALLPRINTERDRIVER", "1"},
        {"INSTALL_PRINTER_DRIVER", "0"},
        {"SIGNENABLE", "1"},
        {"DROPBOXDISABLED", "unset"},
        {"ONEDRIVEDISABLED", "0"},
        {"BOXDISABLED", "#0"},
        {"SHAREPOINTDISABLED", "1"},
        {"BUGSPLAT_SENDREPORT_ENABLED", "yes"},
        {"MSAZUREIPLABELINGENABLED", "1"},
        {"MSAZUREFORCELOGIN", "#1"},
        {"APPLICATION_LANGUAGE", "fr-FR"},
        {"IMANAGEENABLED", "1"},
        {"IMANAGEINSTALLPATH", " C:\\iManage "},
        {"KNOWLEDGEASSISTANT", "on"},
    };
}

value_map contrary_package_registry() {
    return {
        {"network_disk_enabled", "1"},
        {"kBugsplatEnableCrashReporting", "/b 0"},
        {"PrintBandSize", "#1013760"},
        {"PrintBandCountForIgnore", "#65535"},
    };
}

void build_contrary_package(const std::filesystem::path& out) {
    build(out,
          {test_support::property_table(as_pairs(contrary_package_properties())),
           test_support::registry_table(as_pairs(contrary_package_registry())), dialog_table(), control_table("", "")});
}

void build_package_without_registry_and_control(const std::filesystem::path& out) {
    build(out, {test_support::property_table({{"ProductName", "Quorlin PDF Pro"},
                                              {"ProductCode", "{0E5C8E53-3C2B-4E3F-9B1F-3A3C2D1E0F03}"},
                                              {"ProductVersion", "1.0"},
                                              {"DROPBOXDISABLED", "#1"},
                                              {"WINSPARKLE_ENABLED", "/b 1"}})});
}

void build_package_with_unreadable_control(const std::filesystem::path& out) {
    build(out, {test_support::property_table({{"ProductName", "Quorlin PDF Pro"}}),
                {"Control",
                 "Dialog_\tControl\ns72\ts50\nControl\tDialog_\tControl\n"
                 "LicenseDlg\tTermsAndConditionsAgreement\n"}});
}

void build_package_with_integer_registry_values(const std::filesystem::path& out) {
    build(out, {test_support::property_table({{"ProductName", "Quorlin PDF Pro"},
                                              {"ProductCode", "{0E5C8E53-3C2B-4E3F-9B1F-3A3C2D1E0F04}"},
                                              {"ProductVersion", "1.0"}}),
                {"Registry",
                 "Registry\tRoot\tKey\tName\tValue\tComponent_\n"
                 "s72\ti2\tl255\tL255\tI4\ts72\nRegistry\tRegistry\n"
                 "reg1\t2\tSoftware\\Quorlin\tnetwork_disk_enabled\t1\tMainComponent\n"}});
}

package_view oracle_view(const std::filesystem::path& package, const std::filesystem::path& transform) {
    package_view view;
    std::istringstream dump(test_support::oracle_dump(package, {}, transform));
    std::string line;
    while (std::getline(dump, line)) {
        if (line.empty()) continue;
        const auto fields = split_tabs(line);
        if (fields[0] == "Property" && fields.size() >= 3) {
            view.properties[fields[1]] = fields[2];
        } else if (fields[0] == "Registry" && fields.size() >= 6) {
            view.registry[fields[4]] = fields[5];
        } else if (fields[0] != "#Property" && fields[0] != "#Registry") {
            view.other_tables += line + "\n";
        }
    }
    return view;
}

package_view expected_after_writing(const std::filesystem::path& package, deployment::settings_values values,
                                    std::u16string_view product_name) {
    package_view view = oracle_view(package);
    for (const auto& write : deployment::plan_writes(values, product_name).writes) {
        using kind = deployment::value_write::kind;
        auto& table = write.type == kind::property ? view.properties : view.registry;
        const std::string name = sys::utf16_to_utf8(write.name);
        if (!table.contains(name)) continue;
        table[name] =
            write.type == kind::registry_number ? "#" + std::to_string(write.number) : sys::utf16_to_utf8(write.text);
    }
    return view;
}

}  // namespace window_test
