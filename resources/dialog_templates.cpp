#include "resources/dialog_templates.h"

#include "resources/resource.h"

#include <string>

namespace {

constexpr int no_id = -1;
const std::u16string dialog_font = u"MS Shell Dlg";
constexpr int dialog_font_points = 8;

// Every control of these templates is a visible child.
constexpr std::uint32_t child = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t check_box = child | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr std::uint32_t group_box = child | BS_GROUPBOX;
constexpr std::uint32_t label = child | SS_LEFT;
constexpr std::uint32_t drop_down_list = child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;

// Pages are borderless children without caption, hidden until the page host
// shows one.
constexpr std::uint32_t page_style = WS_CHILD | DS_SETFONT | DS_FIXEDSYS;
constexpr int page_width = 331;

// Caption of an icon static: "#" and the icon's resource number.
std::u16string icon_reference(int icon_id) {
    std::u16string text = u"#";
    for (char c : std::to_string(icon_id)) text += static_cast<char16_t>(c);
    return text;
}

control_template control(int id, const char16_t* cls, std::u16string caption, int x, int y, int cx, int cy,
                         std::uint32_t style) {
    return control_template{id, cls, std::move(caption), x, y, cx, cy, style};
}

dialog_template page(int id, int height, std::vector<control_template> controls) {
    return dialog_template{
        id, u"", 0, 0, page_width, height, page_style, 0, dialog_font, dialog_font_points, std::move(controls)};
}

dialog_template main_window(const resource_texts& t) {
    return dialog_template{
        IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG,
        t.main_caption,
        0,
        0,
        469,
        336,
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
        WS_EX_APPWINDOW,
        dialog_font,
        dialog_font_points,
        {
            control(IDC_BROWSE, WC_BUTTON, t.browse, 412, 28, 50, 14, child | BS_PUSHBUTTON | WS_TABSTOP),
            control(IDC_GENERATE, WC_BUTTON, t.generate, 338, 315, 124, 14,
                    child | BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP),
            control(no_id, WC_STATIC, t.msi_file_label, 9, 31, 26, 8, label | WS_GROUP),
            control(IDC_MSI_PATH, WC_EDIT, u"", 45, 28, 358, 14,
                    child | WS_DISABLED | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL),
            control(IDC_PAGE_FRAME, WC_STATIC, u"", 133, 53, 329, 257, child | SS_BLACKRECT | WS_TABSTOP),
            control(IDC_PAGE_TREE, WC_TREEVIEW, u"", 7, 53, 125, 257, child | WS_BORDER | WS_HSCROLL | WS_TABSTOP),
            control(no_id, WC_STATIC, t.load_prompt, 7, 7, 455, 8, label | WS_GROUP),
            control(IDC_AGREEMENT_LINK, WC_LINK, t.agreement_link, 122, 313, 169, 22, child | WS_TABSTOP),
            control(IDC_CONSENT_CHECK, WC_BUTTON, u"", 107, 317, 8, 8, check_box),
            control(IDC_CONSENT_STATIC, WC_STATIC, t.agreement_static, 122, 313, 169, 22,
                    label | WS_DISABLED | WS_GROUP),
            control(IDC_VERSION_LABEL, WC_STATIC, t.version_placeholder, 8, 310, 88, 25,
                    label | WS_GROUP | SS_CENTERIMAGE),
        }};
}

dialog_template installation_options(const resource_texts& t) {
    return page(
        IDD_INSTALLATION_OPTIONS, 254,
        {
            control(IDC_PAGE_GROUP, WC_BUTTON, t.installation_options_group, 6, 0, 315, 94, group_box),
            control(IDC_CREATE_DESKTOP_SHORTCUT, WC_BUTTON, t.create_desktop_shortcut, 12, 15, 303, 10, check_box),
            control(IDC_INSTALL_OFFICE_ADDINS, WC_BUTTON, t.install_office_addins, 12, 27, 303, 10, check_box),
            control(IDC_INSTALL_PRINTER_DRIVER, WC_BUTTON, t.install_printer_driver, 12, 39, 303, 10, check_box),
            control(IDC_ENABLE_SIGN_INTEGRATION, WC_BUTTON, t.enable_sign_integration, 12, 51, 303, 10, check_box),
            control(IDC_ENABLE_CRASH_REPORTING, WC_BUTTON, t.enable_crash_reporting, 12, 63, 303, 10, check_box),
            control(no_id, WC_STATIC, t.language_label, 12, 77, 37, 10, label),
            control(IDC_LANGUAGE_LIST, WC_COMBOBOX, u"", 57, 75, 109, 10, drop_down_list),
            control(IDC_REMOTE_STORAGE_GROUP, WC_BUTTON, t.remote_storage_group, 6, 100, 315, 80, group_box),
            control(IDC_ENABLE_DROPBOX, WC_BUTTON, t.enable_dropbox, 12, 115, 303, 10, check_box),
            control(IDC_ENABLE_BOX, WC_BUTTON, t.enable_box, 12, 127, 303, 10, check_box),
            control(IDC_ENABLE_ONEDRIVE, WC_BUTTON, t.enable_onedrive, 12, 139, 303, 10, check_box),
            control(IDC_ENABLE_SHAREPOINT, WC_BUTTON, t.enable_sharepoint, 12, 151, 303, 10, check_box),
            control(IDC_AZURE_GROUP, WC_BUTTON, t.azure_group, 6, 186, 315, 44, group_box),
            control(IDC_ENABLE_AZURE_LABELING, WC_BUTTON, t.enable_azure_labeling, 12, 201, 303, 10, check_box),
            control(IDC_AZURE_FORCE_LOGIN, WC_BUTTON, t.azure_force_login, 22, 212, 293, 10, check_box),
            control(IDC_ENABLE_NETWORK_DISK, WC_BUTTON, t.enable_network_disk, 12, 163, 303, 10, check_box),
        });
}

dialog_template print_settings(const resource_texts& t) {
    return page(IDD_PRINT_SETTINGS, 124,
                {
                    control(IDC_PRINT_PROFILE, WC_COMBOBOX, u"", 12, 16, 135, 30, drop_down_list | CBS_SORT),
                    control(IDC_PAGE_GROUP, WC_BUTTON, t.print_settings_group, 6, 0, 315, 36, group_box),
                });
}

dialog_template imanage(const resource_texts& t) {
    return page(IDD_IMANAGE, 147,
                {
                    control(IDC_PAGE_GROUP, WC_BUTTON, t.imanage_group, 6, 47, 315, 80, group_box),
                    control(IDC_IMANAGE_WARNING_ICON, WC_STATIC, icon_reference(IDI_SYSTEM_WARNING), 9, 8, 16, 16,
                            child | SS_ICON),
                    control(no_id, WC_STATIC, t.imanage_warning, 39, 9, 281, 20, label),
                    control(IDC_IMANAGE_ENABLED, WC_BUTTON, t.imanage_enabled, 12, 63, 233, 10, check_box),
                    control(IDC_IMANAGE_PATH_LABEL, WC_STATIC, t.imanage_path_label, 23, 79, 69, 8, label),
                    control(IDC_IMANAGE_PATH, WC_EDIT, u"", 97, 76, 218, 14,
                            child | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP | WS_DISABLED),
                    control(IDC_IMANAGE_HINT, WC_STATIC, t.imanage_hint, 23, 97, 291, 27, label),
                });
}

dialog_template quorlin_ai(const resource_texts& t) {
    return page(IDD_QUORLIN_AI, 124,
                {
                    control(IDC_HELP_GROUP, WC_BUTTON, t.help_group, 6, 0, 315, 36, group_box),
                    control(IDC_KNOWLEDGE_ASSISTANT, WC_BUTTON, t.knowledge_assistant, 12, 16, 104, 10, check_box),
                });
}

}  // namespace

std::vector<dialog_template> build_dialog_templates(const resource_texts& texts) {
    return {main_window(texts), installation_options(texts), print_settings(texts), imanage(texts), quorlin_ai(texts)};
}
