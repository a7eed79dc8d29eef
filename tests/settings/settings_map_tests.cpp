// The settings map's own consistency, and the one statement of what a
// generation writes.
#include "installer/deployment_settings.h"
#include "installer/deployment_settings_map.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string ascii(std::u16string_view text) { return {text.begin(), text.end()}; }

TEST(SettingsMap, EachSettingHasItsOwnControlAndMissingValuesFollowTheRules) {
    using namespace deployment;
    std::set<std::pair<settings_page, int>> shown_at;
    for (const auto& row : deployment_settings_map()) {
        // Every setting has a control of its own on its page.
        if (!row.setting.empty()) {
            EXPECT_NE(row.page, settings_page::none) << row.setting;
            EXPECT_TRUE(shown_at.insert({row.page, row.control}).second) << row.setting;
        }
        if (!row.gate.empty()) {
            EXPECT_NE(find_setting(row.gate), nullptr) << row.setting;
        }
        const auto rule = row.read.rule;
        if (rule == read_rule::none || rule == read_rule::text_if_gate_checked) continue;
        const bool checked_when_missing = row.read.missing == missing_gives::checked;
        EXPECT_EQ(is_checked(rule, u""), checked_when_missing) << row.setting;
        EXPECT_NE(row.check, nullptr) << row.setting;
    }
}

// The one statement of what is written: the twenty writes in order, with
// their tables, names and forms, for two choices that differ in every
// setting. Other tests compare what is written with this plan.
TEST(SettingsMap, PlannedWritesAreTheTwentyInOrderInBothFormsOfEachSetting) {
    using namespace deployment;
    struct expected_write {
        const char* table;
        const char* name;
        const char* first;   // for `first` below, on a Pro product
        const char* second;  // for every setting the other way, not a Pro product; null: not written
    };
    const expected_write table[] = {
        {"Property", "WINSPARKLE_ENABLED", "/b 0", "/b 0"},
        {"Property", "DT_SHORTCUT", "1", "0"},
        {"Property", "OFFICEADDINS", "0", "1"},
        {"Property", "INSTALL_PRINTER_DRIVER", "1", "0"},
        {"Property", "SIGNENABLE", "0", nullptr},
        {"Property", "DROPBOXDISABLED", "#0", "#1"},
        {"Property", "ONEDRIVEDISABLED", "#1", "#0"},
        {"Property", "BOXDISABLED", "#0", "#1"},
        {"Property", "SHAREPOINTDISABLED", "#1", "#0"},
        {"Registry", "network_disk_enabled", "/b 1", "/b 0"},
        {"Property", "MSAZUREIPLABELINGENABLED", "#1", "#0"},
        {"Property", "MSAZUREFORCELOGIN", "/b 0", "/b 1"},
        {"Registry", "kBugsplatEnableCrashReporting", "/b 0", "/b 1"},
        {"Property", "BUGSPLAT_SENDREPORT_ENABLED", "0", "1"},
        {"Property", "APPLICATION_LANGUAGE", "nl-NL", "select"},
        {"Property", "IMANAGEENABLED", "1", "0"},
        {"Property", "IMANAGEINSTALLPATH", "D:\\Work", "0"},
        {"Property", "KNOWLEDGEASSISTANT", "/b 1", "/b 0"},
        {"Registry number", "PrintBandSize", "#1013760", "#8388608"},
        {"Registry number", "PrintBandCountForIgnore", "#65535", "#8"},
    };
    auto lines = [](const write_plan& plan) {
        std::vector<std::string> shown;
        for (const auto& w : plan.writes) {
            const char* kind = w.type == value_write::kind::property        ? "Property"
                               : w.type == value_write::kind::registry_text ? "Registry"
                                                                            : "Registry number";
            const std::string value =
                w.type == value_write::kind::registry_number ? "#" + std::to_string(w.number) : ascii(w.text);
            shown.push_back(std::string(kind) + " " + ascii(w.name) + " = " + value);
        }
        return shown;
    };
    std::vector<std::string> first_lines, second_lines;
    for (const auto& row : table) {
        first_lines.push_back(std::string(row.table) + " " + row.name + " = " + row.first);
        if (row.second) second_lines.push_back(std::string(row.table) + " " + row.name + " = " + row.second);
    }

    settings_values first;
    int alternate = 1;
    for (const auto& row : deployment_settings_map())
        if (row.check) first.*row.check = (alternate ^= 1) == 0;
    first.enable_azure_labeling = first.imanage_enabled = first.knowledge_assistant_enabled = 1;
    first.application_language = u"nl-NL";
    first.print_profile = pcl_optimized_profile;
    first.imanage_install_path = u"  D:\\Work \t";
    settings_values second = first;
    for (const auto& row : deployment_settings_map())
        if (row.check) second.*row.check = 1 - first.*row.check;
    second.application_language = u"select";
    second.print_profile = 0;

    const auto planned = plan_writes(first, u"Quorlin PDF Pro");
    EXPECT_EQ(planned.outcome, write_outcome::written);
    EXPECT_EQ(lines(planned), first_lines);
    EXPECT_EQ(first.imanage_install_path, u"D:\\Work") << "trimmed where the page shows it";
    EXPECT_EQ(lines(plan_writes(second, u"Quorlin PDF PRO")), second_lines);

    // An empty path while iManage is on stops after the language.
    first.imanage_install_path = u" ";
    const auto stopped = plan_writes(first, u"Quorlin PDF Pro");
    EXPECT_EQ(stopped.outcome, write_outcome::imanage_path_missing);
    first_lines.resize(15);
    EXPECT_EQ(lines(stopped), first_lines);
}

}  // namespace
