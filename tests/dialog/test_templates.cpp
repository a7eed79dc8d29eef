#include "test_templates.h"

namespace {
constexpr std::uint32_t child = WS_CHILD | WS_VISIBLE;
const std::u16string consent_markup =
    u"By generating this MST file, I agree to the Quorlin <a id=\"terms-of-service\">Terms of Service</a> and "
    u"<a id=\"privacy-policy\">Privacy Policy</a>";
}  // namespace

sample_resources::sample_resources() {
    dialogs[sample_window_id] =
        dialog_template{sample_window_id,
                        u"Sample Window",
                        0,
                        0,
                        300,
                        220,
                        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
                        WS_EX_APPWINDOW,
                        u"MS Shell Dlg",
                        8,
                        {
                            {1001, WC_BUTTON, u"Browse...", 243, 7, 50, 14, child | WS_TABSTOP},
                            {1008, WC_BUTTON, u"Generate MST File", 203, 199, 90, 14, child | WS_DISABLED | WS_TABSTOP},
                            {-1, WC_STATIC, u"MSI file:", 7, 10, 26, 8, child | WS_GROUP},
                            {1000, WC_EDIT, u"", 37, 7, 200, 14, child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
                            {1035, WC_STATIC, u"", 100, 28, 193, 160, child | SS_BLACKRECT | WS_TABSTOP},
                            {1036, WC_TREEVIEW, u"", 7, 28, 90, 160, child | WS_BORDER | WS_HSCROLL | WS_TABSTOP},
                            {1052, WC_LINK, consent_markup, 20, 192, 175, 22, child | WS_TABSTOP},
                            {1053, WC_BUTTON, u"", 7, 196, 8, 8, child | WS_TABSTOP | BS_AUTOCHECKBOX},
                            {1064, WC_STATIC, u"Static", 203, 188, 88, 10, child | WS_GROUP | SS_CENTERIMAGE},
                        }};
    dialogs[sample_page_id] = dialog_template{
        sample_page_id,
        u"",
        0,
        0,
        193,
        160,
        WS_CHILD | DS_CONTROL | DS_SETFONT | DS_FIXEDSYS,
        WS_EX_CONTROLPARENT,
        u"MS Shell Dlg",
        8,
        {
            {1043, WC_BUTTON, u"Installation Options", 6, 0, 181, 60, child | BS_GROUPBOX},
            {1005, WC_BUTTON, u"Create desktop shortcut", 12, 15, 170, 10, child | WS_TABSTOP | BS_AUTOCHECKBOX},
            {1006, WC_BUTTON, u"Install printer driver", 12, 27, 170, 10, child | WS_TABSTOP | BS_AUTOCHECKBOX},
            {-1, WC_STATIC, u"Language:", 12, 43, 37, 10, child},
            {1072, WC_COMBOBOX, u"", 57, 41, 109, 10, child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP},
            {1073, WC_COMBOBOX, u"", 57, 64, 109, 10, child | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP},
            {3492, WC_STATIC, u"#32515", 9, 82, 16, 16, child | SS_ICON},
            {1068, WC_STATIC, u"Install Path:", 30, 87, 55, 8, child},
            {1067, WC_EDIT, u"", 88, 84, 99, 14, child | WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP | WS_DISABLED},
            {1069, WC_STATIC,
             u"Enter the path to the folder under the install directory, for example \"C:\\Program Files\\Sample\".",
             30, 102, 157, 27, child},
            {1080, WC_BUTTON, u"Apply", 137, 140, 50, 14, child | WS_TABSTOP},
            {1081, WC_BUTTON, u"Hidden", 80, 140, 50, 14, WS_CHILD | WS_TABSTOP},
        }};
    strings[sample_string_id] = u"The path should not be empty.";
}

const dialog_template* sample_resources::find_dialog(int id) const {
    auto found = dialogs.find(id);
    return found == dialogs.end() ? nullptr : &found->second;
}

std::optional<std::u16string> sample_resources::find_string(int id) const {
    auto found = strings.find(id);
    if (found == strings.end()) return std::nullopt;
    return found->second;
}

std::vector<icon_image> sample_resources::find_icon(int) const { return {}; }
