// Continuing from a transform gives back the settings it was generated
// from, for many combinations of settings: generate, apply the transform to
// the package again, read it back the way the utility writes it. Wine's
// installer (the oracle) applies the same transforms: it must see the values
// our engine sees, and a transform generated again after continuing must
// hold the same tables.
#include "support/deployment_fixtures.h"

#include "installer/application_languages.h"
#include "installer/deployment_settings.h"
#include "installer/deployment_settings_map.h"
#include "installer/in_memory_package.h"
#include "installer/settings_text.h"
#include "support/file_guard.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

#include <random>

namespace fs = std::filesystem;
using deployment::settings_values;

namespace {

// The pro fixture's names under another product name (the e-signature
// setting is then neither written nor read back), in code page 1252 so
// that paths beyond ASCII can be stored.
void build_package(const fs::path& out, const std::string& product_name) {
    auto properties = window_test::pro_package_properties();
    properties["ProductName"] = product_name;
    const auto registry = window_test::pro_package_registry();
    test_support::msi_source source;
    source.tables = {{"_ForceCodepage", "\n\n1252\t_ForceCodepage\n"},
                     test_support::property_table({properties.begin(), properties.end()}),
                     test_support::registry_table({registry.begin(), registry.end()})};
    test_support::build_msi(out, source);
}

settings_values random_settings(std::mt19937& random) {
    settings_values v;
    auto bit = [&] { return static_cast<int>(random() % 2); };
    for (const auto& row : deployment::deployment_settings_map())
        if (row.check) v.*row.check = bit();
    v.application_language = sys::utf8_to_utf16(application_languages[random() % application_languages.size()].code);
    v.print_profile = bit();
    const char16_t* paths[] = {u"C:\\Program Files\\iManage\\Work10", u"  D:\\Work  ", u"C:\\Users\\O'Brien\\Work",
                               u"E:\\Ty\u00f6\\\u00dcbersicht", u"0"};
    v.imanage_install_path = paths[random() % std::size(paths)];
    return v;
}

// What the pages show after continuing: the path is read only while iManage
// is on (and was written trimmed); the e-signature box comes up checked for a
// product it is not written for.
settings_values expected_after_continuing(settings_values v, bool pro) {
    v.imanage_install_path = v.imanage_enabled ? deployment::trimmed_install_path(v.imanage_install_path) : u"";
    if (!pro) v.enable_sign_integration = 1;
    return v;
}

std::string shown(const settings_values& v) {
    std::string text;
    for (const auto& [name, value] : deployment::settings_lines(v)) text += name + " = " + value + "\n";
    return text;
}

// Every name the settings are written to, read back from our engine's view.
window_test::value_map our_view(in_memory_package& package) {
    window_test::value_map seen;
    for (const auto& [row, write] : deployment::writes_in_order()) {
        const std::u16string name(write->name);
        seen[sys::utf16_to_utf8(name)] = sys::utf16_to_utf8(write->table == deployment::package_table::registry
                                                                ? package.values().read_registry_value(name)
                                                                : package.values().read_property(name));
    }
    return seen;
}

TEST(SettingsRoundTrip, ContinuingGivesBackEveryCombinationAndRegeneratesTheSameTables) {
    test_support::temp_dir dir("quorlin-round-trip");
    const fs::path pro = dir / "pro.msi", other = dir / "reader.msi";
    build_package(pro, "Quorlin PDF Pro");
    build_package(other, "Quorlin PDF Reader");
    test_support::file_unchanged_guard pro_kept(pro), other_kept(other);

    std::mt19937 random(20261209);
    constexpr int combinations = 24;
    for (int i = 0; i < combinations; ++i) {
        const bool is_pro = i % 3 != 2;
        const fs::path package = is_pro ? pro : other;
        const fs::path first = dir / ("first" + std::to_string(i) + ".mst");
        const fs::path again = dir / ("again" + std::to_string(i) + ".mst");
        settings_values chosen = random_settings(random);
        if (chosen.imanage_enabled && deployment::trimmed_install_path(chosen.imanage_install_path).empty())
            chosen.imanage_enabled = 0;
        SCOPED_TRACE("combination " + std::to_string(i) + (is_pro ? " (Pro)\n" : " (not Pro)\n") + shown(chosen));

        {
            in_memory_package generating(package);
            settings_values written = chosen;
            ASSERT_EQ(deployment::write_settings(generating.values(), written,
                                                 is_pro ? u"Quorlin PDF Pro" : u"Quorlin PDF Reader"),
                      deployment::write_outcome::written);
            ASSERT_EQ(generating.write_transform(first), in_memory_package::transform_result::written);
        }

        in_memory_package continuing(package);
        continuing.apply_transform(first);
        settings_values read_back;
        const auto extras = deployment::read_settings(continuing.values(), deployment::reading::as_written, read_back);
        EXPECT_EQ(shown(read_back), shown(expected_after_continuing(chosen, is_pro)));

        // Wine applying the same transform sees what our engine sees.
        const auto oracle = window_test::oracle_view(package, first);
        for (const auto& [name, value] : our_view(continuing)) {
            const auto& table = oracle.properties.contains(name) ? oracle.properties : oracle.registry;
            ASSERT_TRUE(table.contains(name)) << name;
            EXPECT_EQ(table.at(name), value) << name;
        }

        // Generating again without changes: the same tables.
        ASSERT_EQ(deployment::write_settings(continuing.values(), read_back, extras.product_name),
                  deployment::write_outcome::written);
        ASSERT_EQ(continuing.write_transform(again), in_memory_package::transform_result::written);
        EXPECT_EQ(test_support::oracle_dump(package, {}, again), test_support::oracle_dump(package, {}, first));
    }
}

// Rows the earlier transform changed besides the settings (another tool's
// work) stay in the transform generated after continuing.
TEST(SettingsRoundTrip, WhatElseTheEarlierTransformChangedIsKept) {
    test_support::temp_dir dir("quorlin-round-trip");
    const fs::path pro = dir / "pro.msi", first = dir / "first.mst", second = dir / "second.mst";
    build_package(pro, "Quorlin PDF Pro");
    {
        in_memory_package earlier(pro);
        earlier.values().set_property(u"Manufacturer", u"Someone Else");
        settings_values v;
        deployment::write_settings(earlier.values(), v, u"Quorlin PDF Pro");
        ASSERT_EQ(earlier.write_transform(first), in_memory_package::transform_result::written);
    }
    in_memory_package continuing(pro);
    continuing.apply_transform(first);
    settings_values v;
    const auto extras = deployment::read_settings(continuing.values(), deployment::reading::as_written, v);
    v.enable_box = 1;
    deployment::write_settings(continuing.values(), v, extras.product_name);
    ASSERT_EQ(continuing.write_transform(second), in_memory_package::transform_result::written);

    const auto seen = window_test::oracle_view(pro, second);
    EXPECT_EQ(seen.properties.at("Manufacturer"), "Someone Else");
    EXPECT_EQ(seen.properties.at("BOXDISABLED"), "#0");
}

// A transform that does not fit: it changes a row the package lacks. The
// package held in memory is left as it was, so the defaults still read.
TEST(SettingsRoundTrip, ATransformForAnotherPackageIsRefusedAndChangesNothing) {
    test_support::temp_dir dir("quorlin-round-trip");
    const fs::path pro = dir / "pro.msi", bare = dir / "bare.msi", mst = dir / "pro.mst";
    build_package(pro, "Quorlin PDF Pro");
    {
        in_memory_package generating(pro);
        settings_values v;
        v.enable_box = 1;
        deployment::write_settings(generating.values(), v, u"Quorlin PDF Pro");
        ASSERT_EQ(generating.write_transform(mst), in_memory_package::transform_result::written);
    }
    test_support::msi_source source;
    source.tables = {test_support::property_table({{"ProductName", "Quorlin PDF Pro"}, {"BOXDISABLED", "#1"}})};
    test_support::build_msi(bare, source);

    in_memory_package other(bare);
    EXPECT_ANY_THROW(other.apply_transform(mst));
    settings_values v;
    deployment::read_settings(other.values(), deployment::reading::as_written, v);
    EXPECT_EQ(v.enable_box, 0) << "BOXDISABLED keeps the package's own #1";
    EXPECT_EQ(other.write_transform(dir / "none.mst"), in_memory_package::transform_result::no_differences);
}

}  // namespace
