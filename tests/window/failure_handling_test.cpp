// Packages that are not shaped like the product's own: no Registry or
// Control table (ordinary), a table the engine cannot query, and a value the
// engine refuses to write. The window reports and stays usable.
#include "support/deployment_fixtures.h"
#include "window_driver.h"

#include "installer/installer_package.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "resources/resource.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace window_test;
namespace fs = std::filesystem;

namespace {

bool starts_with(const std::u16string& text, const std::u16string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(FailureHandling, PackageWithoutRegistryAndControlTablesLoadsAndGenerates) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path package = folder / "bare.msi";
    build_package_without_registry_and_control(package);
    // First a package whose values read the other way, so that each box must change.
    build_pro_package(folder / "pro.msi");
    shown_window w;
    w.browse(folder / "pro.msi");
    w.browse(package);
    // Only the options whose names the package lacks are named.
    ASSERT_EQ(w.ui.message_boxes.size(), 1u) << sys::utf16_to_utf8(w.last_message());
    EXPECT_TRUE(starts_with(w.last_message(), u"These options have no effect on this package"));
    EXPECT_NE(w.last_message().find(u"enable_network_disk"), std::u16string::npos);
    EXPECT_EQ(w.last_message().find(u"enable_dropbox"), std::u16string::npos);
    w.ui.clear();
    // Every value is missing but Dropbox's "#1": each box shows what a missing value gives.
    const auto& general = *w.dialog.general_page;
    for (int id : {IDC_CREATE_DESKTOP_SHORTCUT, IDC_INSTALL_OFFICE_ADDINS, IDC_INSTALL_PRINTER_DRIVER,
                   IDC_ENABLE_SIGN_INTEGRATION, IDC_ENABLE_CRASH_REPORTING})
        EXPECT_TRUE(is_checked(general, id)) << id;
    for (int id : {IDC_ENABLE_DROPBOX, IDC_ENABLE_ONEDRIVE, IDC_ENABLE_BOX, IDC_ENABLE_SHAREPOINT,
                   IDC_ENABLE_NETWORK_DISK, IDC_ENABLE_AZURE_LABELING, IDC_AZURE_FORCE_LOGIN})
        EXPECT_FALSE(is_checked(general, id)) << id;
    EXPECT_FALSE(is_checked(*w.dialog.imanage_page, IDC_IMANAGE_ENABLED));
    EXPECT_FALSE(is_checked(*w.dialog.help_page, IDC_KNOWLEDGE_ASSISTANT));

    w.tick_consent();
    w.generate();
    ASSERT_TRUE(fs::exists(folder / "bare.mst")) << sys::utf16_to_utf8(w.last_message());
    auto expected = oracle_view(package);
    expected.properties["WINSPARKLE_ENABLED"] = "/b 0";
    const auto after = oracle_view(package, folder / "bare.mst");
    EXPECT_EQ(after.properties, expected.properties);
    EXPECT_EQ(after.other_tables, expected.other_tables);
    EXPECT_TRUE(after.registry.empty());
}

TEST(FailureHandling, UnreadablePackageIsDroppedAndTheWindowKeepsItsState) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path good = folder / "good.msi";
    const fs::path bad = folder / "bad.msi";
    build_package_without_registry_and_control(good);
    build_package_with_unreadable_control(bad);
    shown_window w;
    w.browse(good);
    w.tick_consent();
    w.ui.clear();

    w.browse(bad);
    ASSERT_EQ(w.ui.message_boxes.size(), 1u);
    EXPECT_TRUE(starts_with(w.last_message(), u"Unable to read the MSI file.\n"))
        << sys::utf16_to_utf8(w.last_message());
    EXPECT_GT(w.last_message().size(), std::u16string(u"Unable to read the MSI file.\n").size());
    EXPECT_EQ(w.ui.message_boxes.back().type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(w.dialog.package, nullptr);
    EXPECT_FALSE(fs::exists(folder / "bad_Tmp.msi"));
    EXPECT_EQ(w.dialog.msi_path, sys::utf8_to_utf16(good.string()));

    w.generate();
    EXPECT_EQ(w.last_message(), u"Error, transform file was not created.");
    EXPECT_FALSE(fs::exists(folder / "bad.mst"));

    w.browse(good);  // still usable
    EXPECT_NE(w.dialog.package, nullptr);
    EXPECT_TRUE(w.dialog.package->is_open());
}

TEST(FailureHandling, ValueTheEngineRefusesIsReportedAndTheWindowStaysUsable) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path package = folder / "numbers.msi";
    build_package_with_integer_registry_values(package);
    shown_window w;
    w.browse(package);
    ASSERT_EQ(w.ui.message_boxes.size(), 1u) << "which options have no effect";
    EXPECT_FALSE(is_checked(*w.dialog.general_page, IDC_ENABLE_NETWORK_DISK)) << "\"1\" is not \"/b 1\"";
    w.tick_consent();
    for (int attempt = 0; attempt < 2; ++attempt) {
        w.ui.clear();
        w.generate();
        ASSERT_EQ(w.ui.message_boxes.size(), 1u);
        EXPECT_TRUE(starts_with(w.last_message(), u"Unable to write the MSI file.\n"))
            << sys::utf16_to_utf8(w.last_message());
        EXPECT_EQ(w.ui.message_boxes.back().type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_FALSE(fs::exists(folder / "numbers.mst"));
        EXPECT_TRUE(w.dialog.package && w.dialog.package->is_open());
    }
}

}  // namespace
