#include "pages/installation_options_dialog_controller.h"

#include "installer/application_languages.h"
#include "pages/page_check_boxes.h"
#include "pages/utf8_to_utf16.h"

#include <cstring>

namespace {

std::u16string to_utf16(const char* utf8) { return utf8_to_utf16(utf8, std::strlen(utf8)); }

}  // namespace

installation_options_dialog_controller::installation_options_dialog_controller(CWnd* parent) : CDialogEx(IDD, parent) {}

void installation_options_dialog_controller::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    exchange_check_boxes<deployment::general_page_settings>(dx, *this);
    for (const auto& row : deployment::deployment_settings_map())
        if (row.check && row.page == deployment::settings_page::general)
            DDX_Control(dx, row.control, check_box(row.control));
    // The language list takes no part in the value exchange: only bound.
    DDX_Control(dx, IDC_LANGUAGE_LIST, language_list);
    DDX_Control(dx, IDC_PAGE_GROUP, installation_options_group);
}

BEGIN_MESSAGE_MAP(installation_options_dialog_controller, CDialogEx)
ON_BN_CLICKED(IDC_ENABLE_AZURE_LABELING, &installation_options_dialog_controller::on_azure_labeling_clicked)
END_MESSAGE_MAP()

BOOL installation_options_dialog_controller::OnInitDialog() {
    if (!CDialogEx::OnInitDialog()) return FALSE;

    // Each item carries its row, so the code never depends on the shown text.
    for (const language_entry& row : application_languages) {
        int index = language_list.AddString(to_utf16(row.display_text));
        language_list.SetItemData(index, reinterpret_cast<DWORD_PTR>(&row));
    }
    language_list.SelectString(0, to_utf16(default_language.display_text));
    return TRUE;
}

std::u16string installation_options_dialog_controller::selected_language_code() const {
    const language_entry* row = &default_language;
    int selection = language_list.GetCurSel();
    if (selection != CB_ERR) {
        DWORD_PTR data = language_list.GetItemData(selection);
        if (data != 0 && data != static_cast<DWORD_PTR>(CB_ERR)) row = reinterpret_cast<const language_entry*>(data);
    }
    return to_utf16(row->code);
}

bool installation_options_dialog_controller::select_language_code(const std::u16string& code) {
    for (int index = 0; index < language_list.GetCount(); ++index) {
        const auto data = language_list.GetItemData(index);
        if (data == 0 || data == static_cast<DWORD_PTR>(CB_ERR)) continue;
        if (to_utf16(reinterpret_cast<const language_entry*>(data)->code) == code) {
            language_list.SetCurSel(index);
            return true;
        }
    }
    return false;
}

void installation_options_dialog_controller::on_azure_labeling_clicked() {
    UpdateData(TRUE);
    // Force Login means nothing without labeling: switching labeling off clears it.
    if (enable_azure_labeling == 0) {
        azure_force_login = 0;
        check_box(IDC_AZURE_FORCE_LOGIN).SetCheck(BST_UNCHECKED);
    }
    check_box(IDC_AZURE_FORCE_LOGIN).EnableWindow(enable_azure_labeling != 0);
}

// A check box that depends on another is enabled only while that one is
// checked; the e-signature box, written only for some products, is left to
// enable_sign_integration_control.
void installation_options_dialog_controller::enable_controls(bool enable) {
    EnableWindow(enable);
    installation_options_group.EnableWindow(enable);
    for (const auto& row : deployment::deployment_settings_map()) {
        if (!row.check || row.page != deployment::settings_page::general) continue;
        if (row.writes[0].condition == deployment::write_condition::product_is_pro) continue;
        const auto* gate = deployment::find_setting(row.gate);
        const bool gate_checked = !gate || deployment::page_check<deployment::general_page_settings>(*this, *gate) != 0;
        check_box(row.control).EnableWindow(enable && gate_checked);
    }
}

void installation_options_dialog_controller::enable_sign_integration_control(bool enable) {
    check_box(IDC_ENABLE_SIGN_INTEGRATION).EnableWindow(enable);
}
