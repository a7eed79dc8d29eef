// The iManage Work 10 page in a real window: the path controls follow the
// check box, the path check trims and shows its balloon, and the path is
// limited to 2048 characters.
#include "page_host.h"
#include "pages/imanage_dialog_controller.h"

#include "dialog/focused_window.h"
#include "dialog/recording_ui_services.h"

#include <gtest/gtest.h>
#include <wx/defs.h>
#include <wx/textctrl.h>

namespace {

class IManagePage : public testing::Test {
protected:
    void SetUp() override { host.show(page); }

    CEdit& path_edit() { return *static_cast<CEdit*>(page.GetDlgItem(IDC_IMANAGE_PATH)); }
    bool path_controls_enabled(bool expected) {
        return is_this_enabled(page, IDC_IMANAGE_PATH) == expected &&
               is_this_enabled(page, IDC_IMANAGE_PATH_LABEL) == expected &&
               is_this_enabled(page, IDC_IMANAGE_HINT) == expected;
    }

    recording_ui_services ui;
    scoped_ui_services installed{ui};
    page_host host;
    imanage_dialog_controller page;
};

TEST_F(IManagePage, PathControlsFollowTheCheckBox) {
    // As created: edit disabled by its template, the labels enabled.
    EXPECT_FALSE(is_checked(page, IDC_IMANAGE_ENABLED));
    EXPECT_FALSE(is_this_enabled(page, IDC_IMANAGE_PATH));
    EXPECT_TRUE(is_this_enabled(page, IDC_IMANAGE_PATH_LABEL));
    EXPECT_TRUE(is_this_enabled(page, IDC_IMANAGE_HINT));
    EXPECT_EQ(path_edit().GetWindowText(), u"");

    path_edit().SetWindowText(u"D:\\iManage\\Work");
    click(page, IDC_IMANAGE_ENABLED);
    EXPECT_EQ(page.imanage_enabled, 1);
    EXPECT_TRUE(path_controls_enabled(true));
    click(page, IDC_IMANAGE_ENABLED);
    EXPECT_EQ(page.imanage_enabled, 0);
    EXPECT_TRUE(path_controls_enabled(false));
    EXPECT_EQ(path_edit().GetWindowText(), u"D:\\iManage\\Work");
    EXPECT_EQ(page.imanage_install_path, u"D:\\iManage\\Work");

    // A load pushes the values and then runs the handler directly.
    page.imanage_enabled = 1;
    page.imanage_install_path = u"C:\\Program Files\\iManage\\Work10";
    ASSERT_TRUE(page.UpdateData(FALSE));
    page.on_imanage_enabled_clicked();
    EXPECT_TRUE(is_checked(page, IDC_IMANAGE_ENABLED));
    EXPECT_TRUE(path_controls_enabled(true));
    EXPECT_EQ(path_edit().GetWindowText(), u"C:\\Program Files\\iManage\\Work10");
}

TEST_F(IManagePage, PathCheckTrimsAndPassesWhenOffOrFilled) {
    page.imanage_enabled = 0;
    page.imanage_install_path = u" \t anything \r\n";
    EXPECT_TRUE(page.validate_install_path());
    EXPECT_EQ(page.imanage_install_path, u"anything");
    EXPECT_EQ(path_edit().GetWindowText(), u"anything");

    page.imanage_enabled = 1;
    page.imanage_install_path = u"  C:\\iManage\\Work  ";
    EXPECT_TRUE(page.validate_install_path());
    EXPECT_EQ(path_edit().GetWindowText(), u"C:\\iManage\\Work");
    EXPECT_TRUE(ui.balloon_tips.empty());
}

TEST_F(IManagePage, EmptyPathWhileOnShowsTheBalloonEachTime) {
    page.imanage_enabled = 1;
    page.imanage_install_path = u"    ";
    ASSERT_TRUE(page.UpdateData(FALSE));
    page.on_imanage_enabled_clicked();

    EXPECT_FALSE(page.validate_install_path());
    EXPECT_EQ(page.imanage_install_path, u"");
    EXPECT_EQ(path_edit().GetWindowText(), u"");
    ASSERT_EQ(ui.balloon_tips.size(), 1u);
    const balloon_tip_request& tip = ui.balloon_tips[0];
    EXPECT_EQ(tip.control_id, IDC_IMANAGE_PATH);
    EXPECT_EQ(tip.edit, path_edit().m_hWnd);
    EXPECT_EQ(tip.title, u"");
    EXPECT_EQ(tip.icon, TTI_NONE);
    EXPECT_EQ(tip.text,
              u"The iManage Installation Path should not be empty. Please, enter a valid path or "
              u"disable iManage integration.");
    EXPECT_TRUE(pump_until([&] {
        CWnd* focus = CWnd::FromHandle(focused_window());
        return focus && focus->m_hWnd == path_edit().m_hWnd;
    }));
    EXPECT_TRUE(ui.message_boxes.empty());

    EXPECT_FALSE(page.validate_install_path());
    EXPECT_EQ(ui.balloon_tips.size(), 2u);
}

TEST_F(IManagePage, PathIsLimitedTo2048Characters) {
    page.imanage_enabled = 1;
    ASSERT_TRUE(page.UpdateData(FALSE));
    // Typing stops at the limit.
    auto* typed = dynamic_cast<wxTextCtrl*>(path_edit().native());
    ASSERT_NE(typed, nullptr);
    typed->SetValue(wxString(2049, 'x'));
    EXPECT_EQ(path_edit().GetWindowText(), u"");
    typed->SetValue(wxString(2048, 'x'));
    EXPECT_EQ(path_edit().GetWindowText().size(), 2048u);

    // Text from a package may be longer than what can be typed: the pull refuses it.
    path_edit().SetWindowText(std::u16string(2049, u'x'));
    EXPECT_FALSE(page.UpdateData(TRUE));
    ASSERT_EQ(ui.message_boxes.size(), 1u);
    EXPECT_EQ(ui.message_boxes[0].text, u"Please enter no more than 2048 characters.");
    EXPECT_EQ(page.imanage_enabled, 1);

    path_edit().SetWindowText(std::u16string(2048, u'x'));
    EXPECT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.imanage_install_path.size(), 2048u);
    EXPECT_EQ(ui.message_boxes.size(), 1u);
}

TEST_F(IManagePage, EnterAndEscapeInsideThePageAreIgnored) {
    click(page, IDC_IMANAGE_ENABLED);
    ASSERT_TRUE(is_this_enabled(page, IDC_IMANAGE_PATH));
    path_edit().SetWindowText(u"typed");
    press_key_in(page, IDC_IMANAGE_PATH, WXK_RETURN);
    press_key_in(page, IDC_IMANAGE_PATH, WXK_ESCAPE);
    EXPECT_TRUE(is_visible(page));
    EXPECT_EQ(page.imanage_install_path, u"");
    EXPECT_EQ(path_edit().GetWindowText(), u"typed");
}

}  // namespace
