// The main window before any package: layout of the page host, the locked
// state, the version label; and the settings map's own consistency.
#include "window_driver.h"

#include "pages/installation_options_dialog_controller.h"
#include "resources/resource.h"
#include "installer/deployment_settings_map.h"
#include "window/version_label.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/uiaction.h>
#include <wx/window.h>

#include <set>

using namespace window_test;

TEST(MainWindow, StartsLockedOnTheGeneralPage) {
    shown_window w;
    auto& d = w.dialog;

    std::vector<std::u16string> labels;
    for (HTREEITEM item = d.tree.GetRootItem(); item; item = d.tree.GetNextSiblingItem(item))
        labels.push_back(d.tree.GetItemText(item));
    EXPECT_EQ(labels, (std::vector<std::u16string>{u"General", u"Print Settings", u"iManage Work 10",
                                                   u"Help Resources"}));
    EXPECT_EQ(d.tree.GetSelectedItem(), d.general_item);
    EXPECT_EQ(w.visible_page(), static_cast<CWnd*>(d.general_page));
    EXPECT_FALSE(d.general_page->IsWindowEnabled());
    EXPECT_FALSE(is_enabled(d, IDC_PAGE_TREE));
    EXPECT_FALSE(native_item(*d.general_page, IDC_ENABLE_SIGN_INTEGRATION)->IsThisEnabled());

    EXPECT_FALSE(is_enabled(d, IDC_CONSENT_CHECK));
    EXPECT_FALSE(is_checked(d, IDC_CONSENT_CHECK));
    EXPECT_TRUE(is_visible(d, IDC_CONSENT_STATIC));
    EXPECT_FALSE(is_visible(d, IDC_AGREEMENT_LINK));
    EXPECT_FALSE(is_enabled(d, IDC_GENERATE));
    EXPECT_FALSE(is_enabled(d, IDC_MSI_PATH));
    EXPECT_TRUE(is_enabled(d, IDC_BROWSE));
    EXPECT_EQ(d.GetDlgItem(IDC_VERSION_LABEL)->GetWindowText(), u"v26.4.4.1");

    // Clicking another tree item ("Print Settings", the second line) while locked changes nothing.
    click_at(d, IDC_PAGE_TREE, 40, 30);
    EXPECT_EQ(w.visible_page(), static_cast<CWnd*>(d.general_page));

    // Every page covers exactly the frame, in the window's client coordinates.
    CRect frame;
    d.page_frame.GetWindowRect(&frame);
    d.ScreenToClient(&frame);
    for (CWnd* page : d.pages) {
        CRect rect;
        page->GetWindowRect(&rect);
        d.ScreenToClient(&rect);
        EXPECT_EQ(rect, frame);
    }

    // Enter does not close the window; generating without a package does nothing.
    press_key_in(d, IDC_MSI_PATH, WXK_RETURN);
    d.OnGenerate();
    EXPECT_TRUE(d.IsWindowVisible());
    EXPECT_TRUE(w.ui.message_boxes.empty());
}

TEST(MainWindow, ModalRunEndsWithEscape) {
    recording_ui_services ui;
    scoped_ui_services installed(ui);
    CQuorlin_EnterpriseDeploymentDlg dialog;
    wxTheApp->CallAfter([&dialog] {
        native_item(dialog, IDC_BROWSE)->SetFocus();
        wxUIActionSimulator().Char(WXK_ESCAPE);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(MainWindow, VersionLabelSurvivesBrokenFormats) {
    EXPECT_EQ(format_version_label(u"v{}", u"26.4.4.1"), u"v26.4.4.1");
    EXPECT_EQ(format_version_label(u"Version {} ({{build}})", u"1.2"), u"Version 1.2 ({build})");
    for (const char16_t* broken : {u"v{", u"v{1}", u"v{:d}", u"v{} {}", u"}"})
        EXPECT_EQ(format_version_label(broken, u"26.4.4.1"), u"") << sys::utf16_to_utf8(broken);
}

TEST(SettingsMap, WritesRunW1ToW20AndMissingValuesFollowTheRules) {
    using namespace deployment;
    std::vector<int> orders;
    for (const auto& planned : writes_in_order()) orders.push_back(planned.write->order);
    ASSERT_EQ(orders.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(orders[i], i + 1);

    for (const auto& row : deployment_settings_map()) {
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
