#include "package_fixture.h"

#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "system/text_conversion.h"

namespace installer_tests {

using namespace test_support;

namespace {

idt_table control_table() {
    return {"Control",
            "Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText\tControl_Next\tHelp\n"
            "s72\ts50\ts20\ti2\ti2\ti2\ti2\tI4\tS72\tL0\tS50\tL50\n"
            "Control\tDialog_\tControl\n"
            "LicenseDlg\tTermsAndConditionsAgreement\tHyperlink\t20\t200\t300\t15\t3\t\t"
            "I accept the <a href=\"https://example.com/terms\">Terms and Conditions</a>\t\t\n"
            "LicenseDlg\tPrivacyPolicyAgreement\tHyperlink\t20\t220\t300\t15\t3\t\t"
            "<a href=\"https://example.com/privacy\">Privacy Policy</a>\t\t\n"};
}

idt_table base_properties() {
    return property_table({{"ProductName", "Quorlin PDF Pro"},
                           {"ProductCode", "{5A0E3F41-7C2B-4D8E-9A61-2F4B8C7D1E03}"},
                           {"ProductVersion", "26.4.4.1"},
                           {"UpgradeCode", "{8B1D2C3E-4F50-4617-8A9B-0C1D2E3F4A5B}"},
                           {"IMANAGEINSTALLPATH", "C:\\Program Files\\iManage"},
                           {"DROPBOXDISABLED", "#0"}});
}

}  // namespace

void build_full_package(const std::filesystem::path& out) {
    msi_source source;
    source.tables = {base_properties(),
                     control_table(),
                     {"Registry",
                      "Registry\tRoot\tKey\tName\tValue\tComponent_\n"
                      "s72\ti2\tl255\tL255\tL0\ts72\n"
                      "Registry\tRegistry\n"
                      "regNetwork\t2\tSoftware\\Quorlin\tnetwork_disk_enabled\t/b 1\tMain\n"
                      "regNetwork2\t1\tSoftware\\Quorlin\\User\tnetwork_disk_enabled\t/b 1\tMain\n"
                      "regBand\t2\tSoftware\\Quorlin\\Print\tPrintBandSize\t#8388608\tMain\n"
                      "regBandCount\t2\tSoftware\\Quorlin\\Print\tPrintBandCountForIgnore\t#8\tMain\n"}};
    build_msi(out, source);
}

void build_property_only_package(const std::filesystem::path& out) {
    msi_source source;
    source.tables = {base_properties()};
    build_msi(out, source);
}

std::string dump_table(const std::filesystem::path& package, const std::string& table) {
    return oracle_dump(package, {table});
}

}  // namespace installer_tests
