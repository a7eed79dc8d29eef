// The road of one run on the real window: load packages through the file
// dialog, check every page against the package, change options, agree,
// generate, and judge the transform with the oracle (Wine's installer).
#include "support/deployment_fixtures.h"
#include "window_driver.h"

#include "installer/deployment_settings_map.h"
#include "installer/installer_package.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"
#include "resources/resource.h"
#include "support/file_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <wx/window.h>

using namespace window_test;
namespace fs = std::filesystem;

namespace {

class LoadAndGenerate : public testing::Test {
protected:
    void SetUp() override {
        build_pro_package(pro);
        build_plain_package(plain);
    }

    CComboBox& list(CWnd* page, int id) { return *static_cast<CComboBox*>(page->GetDlgItem(id)); }
    void set_imanage_path(const std::u16string& text) {
        w.dialog.imanage_page->GetDlgItem(IDC_IMANAGE_PATH)->SetWindowText(text);
    }
    std::u16string imanage_path_shown() { return w.dialog.imanage_page->GetDlgItem(IDC_IMANAGE_PATH)->GetWindowText(); }
    std::map<int, bool> general_checks() {
        std::map<int, bool> checks;
        for (const auto& row : deployment::deployment_settings_map())
            if (row.check && row.page == deployment::settings_page::general)
                checks[row.control] = is_checked(*w.dialog.general_page, row.control);
        return checks;
    }
    std::u16string link_url(int index) { return gui::link_url(w.dialog.agreement_link, index); }
    static void expect_same(const package_view& actual, const package_view& expected) {
        EXPECT_EQ(actual.properties, expected.properties);
        EXPECT_EQ(actual.registry, expected.registry);
        EXPECT_EQ(actual.other_tables, expected.other_tables);
    }

    test_support::temp_dir folder{"quorlin-window"};
    fs::path pro = folder / "Quorlin PDF Pro.msi";
    fs::path plain = folder / "plain.msi";
    shown_window w;
};

TEST_F(LoadAndGenerate, EveryReadRuleAndTheChoicesThatSurviveASecondLoad) {
    auto& d = w.dialog;
    list(d.general_page, IDC_LANGUAGE_LIST).SetCurSel(1);  // Deutsch
    list(d.print_page, IDC_PRINT_PROFILE).SetCurSel(1);    // Optimize for PCL driver

    w.browse(pro);
    ASSERT_TRUE(w.ui.message_boxes.empty()) << sys::utf16_to_utf8(w.last_message());
    EXPECT_EQ(d.GetDlgItem(IDC_MSI_PATH)->GetWindowText(), sys::utf8_to_utf16(pro.string()));
    EXPECT_EQ(d.product_name, u"Quorlin PDF Pro");
    EXPECT_EQ(general_checks(), (std::map<int, bool>{{IDC_CREATE_DESKTOP_SHORTCUT, false},
                                                     {IDC_INSTALL_OFFICE_ADDINS, true},
                                                     {IDC_INSTALL_PRINTER_DRIVER, false},
                                                     {IDC_ENABLE_SIGN_INTEGRATION, true},
                                                     {IDC_ENABLE_DROPBOX, true},
                                                     {IDC_ENABLE_ONEDRIVE, true},
                                                     {IDC_ENABLE_BOX, false},
                                                     {IDC_ENABLE_SHAREPOINT, false},
                                                     {IDC_ENABLE_NETWORK_DISK, true},
                                                     {IDC_ENABLE_CRASH_REPORTING, false},
                                                     {IDC_ENABLE_AZURE_LABELING, true},
                                                     {IDC_AZURE_FORCE_LOGIN, true}}));
    EXPECT_TRUE(is_checked(*d.imanage_page, IDC_IMANAGE_ENABLED));
    EXPECT_EQ(imanage_path_shown(), u"C:\\Program Files\\iManage\\Work10");
    EXPECT_TRUE(is_enabled(*d.imanage_page, IDC_IMANAGE_PATH) ||
                native_item(*d.imanage_page, IDC_IMANAGE_PATH)->IsThisEnabled());
    EXPECT_TRUE(is_checked(*d.help_page, IDC_KNOWLEDGE_ASSISTANT));
    EXPECT_EQ(link_url(0), u"https://quorlin.example/terms-from-property");
    EXPECT_EQ(link_url(1), u"https://quorlin.example/privacy");

    // Unlocked: tree, General page, e-signature (a "Pro" product), consent line.
    EXPECT_TRUE(is_enabled(d, IDC_PAGE_TREE));
    EXPECT_TRUE(is_enabled(*d.general_page, IDC_ENABLE_SIGN_INTEGRATION));
    EXPECT_TRUE(is_enabled(*d.general_page, IDC_ENABLE_DROPBOX));
    EXPECT_TRUE(is_visible(d, IDC_AGREEMENT_LINK));
    EXPECT_FALSE(is_visible(d, IDC_CONSENT_STATIC));
    EXPECT_FALSE(is_enabled(d, IDC_GENERATE));
    w.tick_consent();
    EXPECT_TRUE(is_enabled(d, IDC_GENERATE));
    click(d, IDC_CONSENT_CHECK);
    EXPECT_FALSE(is_enabled(d, IDC_GENERATE));
    w.tick_consent();

    click_at(d, IDC_PAGE_TREE, 40, 30);  // "Print Settings", as in the locked-state test
    EXPECT_EQ(w.visible_page(), static_cast<CWnd*>(d.print_page));

    const fs::path first_copy = folder / "Quorlin PDF Pro_Tmp.msi";
    EXPECT_TRUE(fs::exists(first_copy));
    w.browse(plain);
    // The plain package lacks the names of four options, and says so.
    ASSERT_EQ(w.ui.message_boxes.size(), 1u);
    EXPECT_EQ(w.last_message(),
              u"These options have no effect on this package (it does not hold their settings): "
              u"install_printer_driver, enable_crash_reporting, application_language, print_profile.");
    w.ui.clear();
    EXPECT_FALSE(fs::exists(first_copy));
    EXPECT_EQ(general_checks(), (std::map<int, bool>{{IDC_CREATE_DESKTOP_SHORTCUT, true},
                                                     {IDC_INSTALL_OFFICE_ADDINS, false},
                                                     {IDC_INSTALL_PRINTER_DRIVER, true},
                                                     {IDC_ENABLE_SIGN_INTEGRATION, true},
                                                     {IDC_ENABLE_DROPBOX, false},
                                                     {IDC_ENABLE_ONEDRIVE, false},
                                                     {IDC_ENABLE_BOX, true},
                                                     {IDC_ENABLE_SHAREPOINT, true},
                                                     {IDC_ENABLE_NETWORK_DISK, false},
                                                     {IDC_ENABLE_CRASH_REPORTING, true},
                                                     {IDC_ENABLE_AZURE_LABELING, false},
                                                     {IDC_AZURE_FORCE_LOGIN, false}}));
    EXPECT_FALSE(native_item(*d.general_page, IDC_ENABLE_SIGN_INTEGRATION)->IsThisEnabled())
        << "\"PRO\" is not \"Pro\"";
    EXPECT_FALSE(is_checked(*d.imanage_page, IDC_IMANAGE_ENABLED));
    EXPECT_EQ(imanage_path_shown(), u"C:\\Program Files\\iManage\\Work10") << "path not read when off";
    EXPECT_FALSE(native_item(*d.imanage_page, IDC_IMANAGE_PATH)->IsThisEnabled());
    EXPECT_FALSE(is_checked(*d.help_page, IDC_KNOWLEDGE_ASSISTANT));
    EXPECT_EQ(link_url(0), u"https://quorlin.example/terms-from-property") << "kept: nothing new";
    EXPECT_EQ(link_url(1), u"http://quorlin.example/privacy-from-property");
    EXPECT_EQ(d.general_page->selected_language_code(), u"de-DE");
    EXPECT_EQ(d.print_page->selected_print_profile(), 1);
    EXPECT_TRUE(is_checked(d, IDC_CONSENT_CHECK));
    EXPECT_TRUE(is_enabled(d, IDC_GENERATE));

    // Nothing edited: every name the package has is still written in its own form.
    const auto expected = expected_after_writing(plain, w.settings_shown(), d.product_name);
    test_support::file_unchanged_guard untouched(plain);
    w.generate();
    const fs::path mst = folder / "plain.mst";
    ASSERT_TRUE(fs::exists(mst)) << sys::utf16_to_utf8(w.last_message());
    expect_same(oracle_view(plain, mst), expected);
}

TEST_F(LoadAndGenerate, ChangedOptionsBecomeExactlyTheWriteSide) {
    auto& d = w.dialog;
    w.browse(pro);
    ASSERT_TRUE(w.ui.message_boxes.empty()) << sys::utf16_to_utf8(w.last_message());
    // Enter closes nothing once a package is loaded either.
    press_key_in(d, IDC_PAGE_TREE, WXK_RETURN);
    press_key_in(d, IDC_MSI_PATH, WXK_RETURN);
    ASSERT_TRUE(is_visible(d));
    ASSERT_NE(d.package, nullptr);
    click(*d.general_page, IDC_CREATE_DESKTOP_SHORTCUT);   // on
    click(*d.general_page, IDC_ENABLE_ONEDRIVE);           // off
    list(d.general_page, IDC_LANGUAGE_LIST).SetCurSel(6);  // Nederlands
    list(d.print_page, IDC_PRINT_PROFILE).SetCurSel(1);
    set_imanage_path(u"  D:\\iManage\\Work10  ");
    w.tick_consent();

    const auto expected = expected_after_writing(pro, w.settings_shown(), d.product_name);
    test_support::file_unchanged_guard untouched(pro);
    w.generate();
    const fs::path mst = folder / "Quorlin PDF Pro.mst";
    ASSERT_FALSE(w.ui.message_boxes.empty());
    EXPECT_EQ(w.last_message(), u"MST file was created successfully in\n" + sys::utf8_to_utf16(mst.string()));
    EXPECT_EQ(w.ui.message_boxes.back().type, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(imanage_path_shown(), u"D:\\iManage\\Work10");

    const auto applied = oracle_view(pro, mst);
    EXPECT_EQ(applied.properties.at("DT_SHORTCUT"), "1") << "the package's \"0\", clicked on";
    expect_same(applied, expected);
}

// Each value here differs from the package's own, so a write side that
// ignores its setting (a constant flag, a wrong print number) shows.
TEST_F(LoadAndGenerate, SignOffPrinterDriverAndCrashReportingOnWithDefaultPrintSettings) {
    auto& d = w.dialog;
    const fs::path contrary = folder / "contrary.msi";
    build_contrary_package(contrary);
    w.browse(contrary);
    ASSERT_TRUE(w.ui.message_boxes.empty()) << sys::utf16_to_utf8(w.last_message());
    EXPECT_TRUE(is_checked(*d.general_page, IDC_INSTALL_PRINTER_DRIVER));
    EXPECT_TRUE(is_checked(*d.general_page, IDC_ENABLE_CRASH_REPORTING));
    ASSERT_TRUE(is_checked(*d.general_page, IDC_ENABLE_SIGN_INTEGRATION));
    click(*d.general_page, IDC_ENABLE_SIGN_INTEGRATION);  // off
    ASSERT_FALSE(is_checked(*d.general_page, IDC_ENABLE_SIGN_INTEGRATION));
    ASSERT_EQ(d.print_page->selected_print_profile(), 0);  // "Default Settings"
    w.tick_consent();

    const auto expected = expected_after_writing(contrary, w.settings_shown(), d.product_name);
    test_support::file_unchanged_guard untouched(contrary);
    w.generate();
    const fs::path mst = folder / "contrary.mst";
    ASSERT_TRUE(fs::exists(mst)) << sys::utf16_to_utf8(w.last_message());
    expect_same(oracle_view(contrary, mst), expected);
}

TEST_F(LoadAndGenerate, EmptyIManagePathStopsAfterW15WithThePageForward) {
    auto& d = w.dialog;
    w.browse(pro);
    list(d.general_page, IDC_LANGUAGE_LIST).SetCurSel(0);  // Select on application startup
    list(d.print_page, IDC_PRINT_PROFILE).SetCurSel(1);
    set_imanage_path(u"   ");
    w.select_page(d.help_page);
    w.tick_consent();
    const auto settings_chosen = w.settings_shown();
    w.generate();

    EXPECT_FALSE(fs::exists(folder / "Quorlin PDF Pro.mst"));
    EXPECT_TRUE(w.ui.message_boxes.empty()) << sys::utf16_to_utf8(w.last_message());
    EXPECT_EQ(w.visible_page(), static_cast<CWnd*>(d.imanage_page));
    EXPECT_EQ(reinterpret_cast<CWnd*>(d.tree.GetItemData(d.tree.GetNextItem(nullptr, TVGN_CARET))),
              static_cast<CWnd*>(d.imanage_page));
    // The first tip points at the hidden page's edit; the second comes
    // once the page is in front.
    std::u16string tip;
    LoadString(IDS_IMANAGE_PATH_EMPTY, tip);
    ASSERT_EQ(w.ui.balloon_tips.size(), 2u);
    for (const auto& shown : w.ui.balloon_tips) {
        EXPECT_EQ(shown.text, tip);
        EXPECT_EQ(shown.control_id, IDC_IMANAGE_PATH);
    }
    EXPECT_EQ(w.ui.visible_page_at_tip, (std::vector<CWnd*>{d.help_page, d.imanage_page}));
    EXPECT_EQ(imanage_path_shown(), u"");

    // W1 to W15 are in the working copy; W16 to W20 are not.
    const auto expected = expected_after_writing(pro, settings_chosen, d.product_name);
    expect_same(oracle_view(folder / "Quorlin PDF Pro_Tmp.msi"), expected);
}

TEST_F(LoadAndGenerate, FailedOpenKeepsThePagesAndEscapeDeletesTheWorkingCopy) {
    auto& d = w.dialog;
    w.browse(pro);
    w.tick_consent();
    const fs::path broken = folder / "broken.msi";
    test_support::write_file(broken, "this is not a package");
    w.browse(broken);
    ASSERT_FALSE(w.ui.message_boxes.empty());
    EXPECT_EQ(w.last_message(), u"Unable to open MSI file\n" + sys::utf8_to_utf16(broken.string()));
    EXPECT_EQ(d.msi_path, sys::utf8_to_utf16(pro.string()));
    EXPECT_TRUE(is_checked(*d.general_page, IDC_INSTALL_OFFICE_ADDINS));
    EXPECT_FALSE(fs::exists(folder / "Quorlin PDF Pro_Tmp.msi"));

    w.generate();
    EXPECT_EQ(w.last_message(), u"Error, transform file was not created.");
    EXPECT_EQ(w.ui.message_boxes.back().type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(fs::exists(folder / "Quorlin PDF Pro.mst"));

    // A cancelled file dialog changes nothing; a good choice works again.
    click(d, IDC_BROWSE);
    w.browse(pro);
    const fs::path copy = folder / "Quorlin PDF Pro_Tmp.msi";
    ASSERT_TRUE(fs::exists(copy));
    // The same package again: the old session's closing must not take the new copy with it.
    w.browse(pro);
    ASSERT_TRUE(fs::exists(copy));
    ASSERT_TRUE(d.package && d.package->is_open());
    press_key_in(d, IDC_BROWSE, WXK_ESCAPE);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(d.package, nullptr);
    EXPECT_FALSE(is_visible(d));
}

}  // namespace
