// Data exchange between fields and controls, and validation.
#include "window_fixture.h"

#include <wx/textctrl.h>

TEST_F(window_test, exchange_moves_fields_into_controls_and_back) {
    open();
    page->shortcut = 1;
    page->printer = 0;
    page->path = u"C:\\Work";
    ASSERT_TRUE(page->UpdateData(FALSE));
    EXPECT_EQ(page->shortcut_box.GetCheck(), BST_CHECKED);
    EXPECT_FALSE(is_checked(*page, 1006));
    EXPECT_EQ(page->path_edit.GetWindowText(), u"C:\\Work");

    page->GetDlgItem(1005)->SendMessage(BM_SETCHECK, BST_UNCHECKED);
    page->GetDlgItem(1006)->SendMessage(BM_SETCHECK, BST_CHECKED);
    page->path_edit.SetWindowText(u"D:\\Ä");
    ASSERT_TRUE(page->UpdateData(TRUE));
    EXPECT_EQ(page->shortcut, 0);
    EXPECT_EQ(page->printer, 1);
    EXPECT_EQ(page->path, u"D:\\Ä");

    // Out-of-range check values push as unchecked.
    page->shortcut = 7;
    page->UpdateData(FALSE);
    EXPECT_EQ(page->shortcut_box.GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(page->shortcut, 0);
    EXPECT_TRUE(shown.message_boxes.empty());
}

TEST_F(window_test, too_long_text_fails_the_pull_with_the_frameworks_message) {
    open();
    // A loaded value longer than the limit reaches the edit box whole...
    page->path = u"0123456789AB";
    ASSERT_TRUE(page->UpdateData(FALSE));
    EXPECT_EQ(page->path_edit.GetWindowText(), u"0123456789AB");

    // ...and is refused by the next pull.
    page->path_edit.EnableWindow(TRUE);
    EXPECT_FALSE(page->UpdateData(TRUE));
    ASSERT_EQ(shown.message_boxes.size(), 1u);
    EXPECT_EQ(shown.message_boxes[0].text, u"Please enter no more than 10 characters.");
    EXPECT_EQ(shown.message_boxes[0].type, MB_ICONEXCLAMATION);

    page->path_edit.SetWindowText(u"0123456789");
    EXPECT_TRUE(page->UpdateData(TRUE));
    EXPECT_EQ(page->path, u"0123456789");
    EXPECT_EQ(shown.message_boxes.size(), 1u);
}

TEST_F(window_test, edit_limit_refuses_typing_beyond_it) {
    open();
    page->path = u"abc";
    page->UpdateData(FALSE);
    auto* edit = dynamic_cast<wxTextCtrl*>(page->path_edit.native());
    ASSERT_NE(edit, nullptr);
    edit->SetValue("abcdefghij");  // as typed: within the limit
    EXPECT_EQ(page->path_edit.GetWindowText(), u"abcdefghij");
    edit->SetValue("abcdefghijk");  // one more: refused
    EXPECT_EQ(page->path_edit.GetWindowText(), u"abcdefghij");
    edit->SetValue("abc");  // deleting is always allowed
    EXPECT_EQ(page->path_edit.GetWindowText(), u"abc");
}

TEST_F(window_test, balloon_tip_and_string_table_go_through_the_services) {
    open();
    std::u16string text;
    ASSERT_TRUE(LoadString(sample_string_id, text));
    EXPECT_EQ(text, u"The path should not be empty.");
    EXPECT_FALSE(LoadString(9999, text));
    EXPECT_TRUE(text.empty());

    LoadString(sample_string_id, text);
    EDITBALLOONTIP tip{sizeof(EDITBALLOONTIP), u"", text.c_str(), TTI_NONE};
    page->path_edit.SetFocus();
    EXPECT_TRUE(page->path_edit.ShowBalloonTip(&tip));
    ASSERT_EQ(shown.balloon_tips.size(), 1u);
    EXPECT_EQ(shown.balloon_tips[0].control_id, 1067);
    EXPECT_EQ(shown.balloon_tips[0].edit, page->path_edit.m_hWnd);
    EXPECT_EQ(shown.balloon_tips[0].title, u"");
    EXPECT_EQ(shown.balloon_tips[0].text, u"The path should not be empty.");
    EXPECT_EQ(shown.balloon_tips[0].icon, TTI_NONE);
}
