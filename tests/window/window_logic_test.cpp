// The main window's logic that needs no display: the settings map's own
// consistency, the version label, and link addresses from agreement markup.
#include "window/agreement_links.h"
#include "installer/deployment_settings_map.h"
#include "window/version_label.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string ascii(std::u16string_view text) { return {text.begin(), text.end()}; }

TEST(VersionLabel, SurvivesBrokenFormats) {
    EXPECT_EQ(format_version_label(u"v{}", u"26.4.4.1"), u"v26.4.4.1");
    EXPECT_EQ(format_version_label(u"Version {} ({{build}})", u"1.2"), u"Version 1.2 ({build})");
    for (const char16_t* broken : {u"v{", u"v{1}", u"v{:d}", u"v{} {}", u"}"})
        EXPECT_EQ(format_version_label(broken, u"26.4.4.1"), u"") << ascii(broken);
}

TEST(SettingsMap, WritesRunW1ToW20AndMissingValuesFollowTheRules) {
    using namespace deployment;
    std::vector<int> orders;
    for (const auto& planned : writes_in_order()) orders.push_back(planned.write->order);
    ASSERT_EQ(orders.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(orders[i], i + 1);

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

TEST(ConsentLine, AddressFromMarkupIsTheTextUpToTheFirstClosingQuoteAndBracket) {
    EXPECT_EQ(href_from_markup(u"<a href=\"https://x.example/t\">Terms</a>"), u"https://x.example/t");
    EXPECT_EQ(href_from_markup(u"<a href=\"https://x.example/t\" target=\"_blank\">T</a>"),
              u"https://x.example/t\" target=\"_blank");
    EXPECT_EQ(href_from_markup(u"<a href=\"\">T</a>"), u"");
    EXPECT_EQ(href_from_markup(u"<a href='https://x.example/t'>T</a>"), std::nullopt);
    EXPECT_EQ(href_from_markup(u"<a HREF=\"https://x.example/t\">T</a>"), std::nullopt);
    EXPECT_EQ(href_from_markup(u"<a href=\"https://x.example/t"), std::nullopt);
}

}  // namespace
