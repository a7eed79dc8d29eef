#include "window_driver.h"

#include "resources/resource.h"
#include "system/text_conversion.h"

#include <wx/window.h>

namespace window_test {

void window_ui_services::show_balloon_tip(const balloon_tip_request& request) {
    recording_ui_services::show_balloon_tip(request);
    visible_page_at_tip.push_back(visible_page ? visible_page() : nullptr);
}

shown_window::shown_window() {
    ui.visible_page = [this] { return visible_page(); };
    dialog.Create(IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG, nullptr);
    dialog.ShowWindow(SW_SHOW);
    pump(150);
}

shown_window::~shown_window() {
    if (wxWindow* window = dialog.native()) window->Close(true);  // a close that cannot be refused
    pump(30);
}

void shown_window::browse(const std::filesystem::path& path) {
    ui.file_dialog_answers.push_back(sys::utf8_to_utf16(path.string()));
    click(dialog, IDC_BROWSE);
}

void shown_window::generate() { click(dialog, IDC_GENERATE); }

void shown_window::tick_consent() {
    if (!is_checked(dialog, IDC_CONSENT_CHECK)) click(dialog, IDC_CONSENT_CHECK);
}

void shown_window::select_page(CWnd* page) {
    for (HTREEITEM item = dialog.tree.GetNextItem(nullptr, TVGN_ROOT); item;
         item = dialog.tree.GetNextItem(item, TVGN_NEXT))
        if (reinterpret_cast<CWnd*>(dialog.tree.GetItemData(item)) == page) dialog.tree.SelectItem(item);
    pump(50);
}

CWnd* shown_window::visible_page() const {
    CWnd* shown = nullptr;
    for (CWnd* page : dialog.pages)
        if (is_visible(*page)) {
            if (shown) return nullptr;  // more than one
            shown = page;
        }
    return shown;
}

std::u16string shown_window::last_message() const {
    return ui.message_boxes.empty() ? std::u16string() : ui.message_boxes.back().text;
}

CWnd* page_window(const CQuorlin_EnterpriseDeploymentDlg& dialog, deployment::settings_page page) {
    switch (page) {
    case deployment::settings_page::general: return dialog.general_page;
    case deployment::settings_page::print: return dialog.print_page;
    case deployment::settings_page::imanage: return dialog.imanage_page;
    case deployment::settings_page::help: return dialog.help_page;
    case deployment::settings_page::none: break;
    }
    return nullptr;
}

deployment::settings_values shown_window::settings_shown() const {
    deployment::settings_values shown;
    for (const auto& row : deployment::deployment_settings_map())
        if (row.check) shown.*row.check = is_checked(*page_window(dialog, row.page), row.control) ? 1 : 0;
    shown.application_language = dialog.general_page->selected_language_code();
    shown.print_profile = dialog.print_page->selected_print_profile();
    shown.imanage_install_path = dialog.imanage_page->GetDlgItem(IDC_IMANAGE_PATH)->GetWindowText();
    return shown;
}

}  // namespace window_test
