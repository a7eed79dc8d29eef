// The General page in a real window: the language list, the labeling rule,
// the enabling operations and the exchange of its twelve settings.
#include "page_host.h"
#include "installer/application_languages.h"
#include "installer/deployment_settings_map.h"
#include "pages/installation_options_dialog_controller.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>
#include <wx/choice.h>

#include <array>
#include <vector>

namespace {

// The page's check boxes and their settings, as the settings map lists them.
struct check_box_setting {
    int control;
    int deployment::general_page_settings::*field;
};
const std::vector<check_box_setting> check_boxes = [] {
    std::vector<check_box_setting> boxes;
    for (const auto& row : deployment::deployment_settings_map())
        if (row.check && row.page == deployment::settings_page::general)
            boxes.push_back({row.control, static_cast<int deployment::general_page_settings::*>(row.check)});
    return boxes;
}();

class GeneralPage : public testing::Test {
protected:
    void SetUp() override { host.show(page); }

    CComboBox& list() { return *static_cast<CComboBox*>(page.GetDlgItem(IDC_LANGUAGE_LIST)); }

    page_host host;
    installation_options_dialog_controller page;
};

TEST_F(GeneralPage, FreshPageShowsSevenLanguagesInTableOrderWithEnglishSelected) {
    ASSERT_EQ(check_boxes.size(), 12u);
    for (const auto& box : check_boxes) {
        EXPECT_FALSE(is_checked(page, box.control)) << box.control;
        EXPECT_EQ(page.*box.field, 0) << box.control;
    }

    const std::array<std::u16string, 7> shown{
        u"Select on application startup", u"Deutsch", u"English", u"Español", u"Français", u"Italiano", u"Nederlands"};
    ASSERT_EQ(list().GetCount(), 7);
    auto* choice = static_cast<wxChoice*>(native_item(page, IDC_LANGUAGE_LIST));
    // What the toolkit draws: the accented letters arrive as letters.
    for (int i = 0; i < 7; ++i) EXPECT_EQ(choice->GetString(i), wxString::FromUTF8(sys::utf16_to_utf8(shown[i]))) << i;
    EXPECT_EQ(choice->GetString(3), wxString(L"Espa\u00F1ol"));
    EXPECT_EQ(choice->GetString(4), wxString(L"Fran\u00E7ais"));
    EXPECT_EQ(list().GetCurSel(), 2);
    EXPECT_EQ(page.selected_language_code(), u"en-US");
}

TEST_F(GeneralPage, LanguageCodeComesFromTheSelectedRow) {
    const std::array<std::u16string, 7> codes{u"select", u"de-DE", u"en-US", u"es-ES", u"fr-FR", u"it-IT", u"nl-NL"};
    for (int i = 0; i < 7; ++i) {
        list().SetCurSel(i);
        EXPECT_EQ(page.selected_language_code(), codes[i]) << i;
    }
    list().SetCurSel(-1);
    EXPECT_EQ(page.selected_language_code(), u"en-US");

    // The exchange leaves the list alone in both directions.
    list().SetCurSel(1);
    page.create_desktop_shortcut = 1;
    ASSERT_TRUE(page.UpdateData(FALSE));
    ASSERT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.selected_language_code(), u"de-DE");
}

TEST_F(GeneralPage, LanguageCodeWithoutAWindowIsTheDefault) {
    installation_options_dialog_controller never_created;
    EXPECT_EQ(never_created.selected_language_code(), u"en-US");
}

TEST_F(GeneralPage, ExchangeMovesEveryCheckBoxBothWays) {
    // Alternating values catch two settings wired to one box.
    for (std::size_t i = 0; i < check_boxes.size(); ++i) page.*check_boxes[i].field = int(i % 2);
    ASSERT_TRUE(page.UpdateData(FALSE));
    for (std::size_t i = 0; i < check_boxes.size(); ++i)
        EXPECT_EQ(is_checked(page, check_boxes[i].control), i % 2 == 1) << check_boxes[i].control;

    for (std::size_t i = 0; i < check_boxes.size(); ++i)
        page.GetDlgItem(check_boxes[i].control)->SendMessage(BM_SETCHECK, i % 2 ? BST_UNCHECKED : BST_CHECKED);
    ASSERT_TRUE(page.UpdateData(TRUE));
    for (std::size_t i = 0; i < check_boxes.size(); ++i) EXPECT_EQ(page.*check_boxes[i].field, int(i % 2 == 0)) << i;
}

TEST_F(GeneralPage, LabelingClicksGovernForceLogin) {
    // Loaded with labeling off and Force Login on: shown as loaded, Force Login disabled.
    page.enable_azure_labeling = 0;
    page.azure_force_login = 1;
    ASSERT_TRUE(page.UpdateData(FALSE));
    page.enable_controls(true);
    EXPECT_TRUE(is_checked(page, IDC_AZURE_FORCE_LOGIN));
    EXPECT_FALSE(is_this_enabled(page, IDC_AZURE_FORCE_LOGIN));
    ASSERT_TRUE(page.UpdateData(TRUE));
    EXPECT_EQ(page.azure_force_login, 1);

    // First click: labeling on, Force Login enabled and still checked.
    click(page, IDC_ENABLE_AZURE_LABELING);
    EXPECT_EQ(page.enable_azure_labeling, 1);
    EXPECT_TRUE(is_this_enabled(page, IDC_AZURE_FORCE_LOGIN));
    EXPECT_TRUE(is_checked(page, IDC_AZURE_FORCE_LOGIN));

    // Second click clears both, at once, without a later pull.
    click(page, IDC_ENABLE_AZURE_LABELING);
    EXPECT_EQ(page.enable_azure_labeling, 0);
    EXPECT_EQ(page.azure_force_login, 0);
    EXPECT_FALSE(is_checked(page, IDC_AZURE_FORCE_LOGIN));
    EXPECT_FALSE(is_this_enabled(page, IDC_AZURE_FORCE_LOGIN));

    // Labeling back on enables Force Login but does not restore its tick.
    click(page, IDC_ENABLE_AZURE_LABELING);
    EXPECT_TRUE(is_this_enabled(page, IDC_AZURE_FORCE_LOGIN));
    EXPECT_FALSE(is_checked(page, IDC_AZURE_FORCE_LOGIN));
}

TEST_F(GeneralPage, EnableControlsLeavesSignIntegrationToItsOwnSwitch) {
    page.enable_azure_labeling = 1;
    ASSERT_TRUE(page.UpdateData(FALSE));

    page.enable_controls(false);
    EXPECT_FALSE(is_this_enabled(page));
    for (const auto& box : check_boxes) {
        if (box.control == IDC_ENABLE_SIGN_INTEGRATION) continue;
        EXPECT_FALSE(is_this_enabled(page, box.control)) << box.control;
    }

    page.enable_sign_integration_control(false);
    page.enable_controls(true);
    EXPECT_TRUE(is_this_enabled(page));
    for (const auto& box : check_boxes) {
        if (box.control == IDC_ENABLE_SIGN_INTEGRATION) continue;
        EXPECT_TRUE(is_this_enabled(page, box.control)) << box.control;
    }
    EXPECT_FALSE(is_this_enabled(page, IDC_ENABLE_SIGN_INTEGRATION));

    page.enable_sign_integration_control(true);
    EXPECT_TRUE(is_this_enabled(page, IDC_ENABLE_SIGN_INTEGRATION));
    EXPECT_TRUE(is_this_enabled(page, IDC_ENABLE_AZURE_LABELING));

    // Force Login follows the labeling setting, not the box's current tick.
    page.enable_azure_labeling = 0;
    page.enable_controls(true);
    EXPECT_FALSE(is_this_enabled(page, IDC_AZURE_FORCE_LOGIN));
}

TEST_F(GeneralPage, EnterAndEscapeInsideThePageAreIgnored) {
    click(page, IDC_CREATE_DESKTOP_SHORTCUT);
    ASSERT_TRUE(is_checked(page, IDC_CREATE_DESKTOP_SHORTCUT));
    press_key_in(page, IDC_CREATE_DESKTOP_SHORTCUT, WXK_RETURN);
    press_key_in(page, IDC_CREATE_DESKTOP_SHORTCUT, WXK_ESCAPE);
    EXPECT_TRUE(is_visible(page));
    // The framework's own OnOK would have pulled the tick into the setting.
    EXPECT_EQ(page.create_desktop_shortcut, 0);
    EXPECT_TRUE(is_checked(page, IDC_CREATE_DESKTOP_SHORTCUT));
}

}  // namespace
