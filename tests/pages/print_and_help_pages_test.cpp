// The Print Settings and Help Resources pages in real windows.
#include "page_host.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"

#include <gtest/gtest.h>
#include <wx/choice.h>

namespace {

TEST(PrintSettingsPage, ProfileIsTheListSelection) {
    page_host host;
    print_settings_dialog_controller page;
    host.show(page);
    auto& list = *static_cast<CComboBox*>(page.GetDlgItem(IDC_PRINT_PROFILE));

    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list_text(list, 0), u"Default Settings");
    EXPECT_EQ(list_text(list, 1), u"Optimize for PCL driver");
    EXPECT_EQ(page.selected_print_profile(), 0);

    // As the administrator chooses it: the toolkit's own selection.
    static_cast<wxChoice*>(native_item(page, IDC_PRINT_PROFILE))->SetSelection(1);
    EXPECT_EQ(page.selected_print_profile(), 1);
    // No exchange resets it.
    ASSERT_TRUE(page.UpdateData(FALSE));
    ASSERT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.selected_print_profile(), 1);
    list.SetCurSel(-1);
    EXPECT_EQ(page.selected_print_profile(), -1);

    press_key_in(page, IDC_PRINT_PROFILE, WXK_ESCAPE);
    press_key_in(page, IDC_PRINT_PROFILE, WXK_RETURN);
    EXPECT_TRUE(is_visible(page));
}

TEST(HelpResourcesPage, SettingFollowsEveryClick) {
    page_host host;
    quorlin_ai_dialog_controller page;
    host.show(page);
    EXPECT_FALSE(is_checked(page, IDC_KNOWLEDGE_ASSISTANT));

    click(page, IDC_KNOWLEDGE_ASSISTANT);
    EXPECT_EQ(page.knowledge_assistant_enabled, 1);
    click(page, IDC_KNOWLEDGE_ASSISTANT);
    EXPECT_EQ(page.knowledge_assistant_enabled, 0);

    page.knowledge_assistant_enabled = 1;
    ASSERT_TRUE(page.UpdateData(FALSE));
    EXPECT_TRUE(is_checked(page, IDC_KNOWLEDGE_ASSISTANT));

    press_key_in(page, IDC_KNOWLEDGE_ASSISTANT, WXK_ESCAPE);
    EXPECT_TRUE(is_visible(page));
}

}  // namespace
