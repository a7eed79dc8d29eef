// The main window before any package: layout of the page host, the locked
// state, the version label; its modal run.
#include "window_driver.h"

#include "pages/installation_options_dialog_controller.h"
#include "resources/resource.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/uiaction.h>
#include <wx/window.h>

using namespace window_test;

TEST(MainWindow, StartsLockedOnTheGeneralPage) {
    shown_window w;
    auto& d = w.dialog;

    std::vector<std::u16string> labels;
    for (HTREEITEM item = d.tree.GetNextItem(nullptr, TVGN_ROOT); item; item = d.tree.GetNextItem(item, TVGN_NEXT))
        labels.push_back(tree_item_text(d.tree, item));
    EXPECT_EQ(labels,
              (std::vector<std::u16string>{u"General", u"Print Settings", u"iManage Work 10", u"Help Resources"}));
    EXPECT_EQ(d.tree.GetNextItem(nullptr, TVGN_CARET), d.general_item);
    EXPECT_EQ(w.visible_page(), static_cast<CWnd*>(d.general_page));
    EXPECT_FALSE(is_this_enabled(*d.general_page));
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
    EXPECT_TRUE(is_visible(d));
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
