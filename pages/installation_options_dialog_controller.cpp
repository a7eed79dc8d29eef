#include "pages/installation_options_dialog_controller.h"

#include "installer/application_languages.h"
#include "pages/utf8_to_utf16.h"

#include <cstring>

namespace {

std::u16string to_utf16(const char* utf8) { return utf8_to_utf16(utf8, std::strlen(utf8)); }

}  // namespace

installation_options_dialog_controller::installation_options_dialog_controller(CWnd* parent) : CDialogEx(IDD, parent) {}

void installation_options_dialog_controller::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Check(dx, IDC_CREATE_DESKTOP_SHORTCUT, create_desktop_shortcut);
    DDX_Check(dx, IDC_INSTALL_OFFICE_ADDINS, install_office_addins);
    DDX_Check(dx, IDC_INSTALL_PRINTER_DRIVER, install_printer_driver);
    DDX_Check(dx, IDC_ENABLE_SIGN_INTEGRATION, enable_sign_integration);
    DDX_Check(dx, IDC_ENABLE_DROPBOX, enable_dropbox);
    DDX_Check(dx, IDC_ENABLE_BOX, enable_box);
    DDX_Check(dx, IDC_ENABLE_ONEDRIVE, enable_onedrive);
    DDX_Check(dx, IDC_ENABLE_SHAREPOINT, enable_sharepoint);
    DDX_Check(dx, IDC_ENABLE_NETWORK_DISK, enable_network_disk);
    DDX_Check(dx, IDC_ENABLE_CRASH_REPORTING, enable_crash_reporting);
    DDX_Check(dx, IDC_ENABLE_AZURE_LABELING, enable_azure_labeling);
    DDX_Check(dx, IDC_AZURE_FORCE_LOGIN, azure_force_login);

    DDX_Control(dx, IDC_CREATE_DESKTOP_SHORTCUT, create_desktop_shortcut_check);
    DDX_Control(dx, IDC_INSTALL_OFFICE_ADDINS, install_office_addins_check);
    DDX_Control(dx, IDC_INSTALL_PRINTER_DRIVER, install_printer_driver_check);
    DDX_Control(dx, IDC_ENABLE_SIGN_INTEGRATION, enable_sign_integration_check);
    DDX_Control(dx, IDC_ENABLE_DROPBOX, enable_dropbox_check);
    DDX_Control(dx, IDC_ENABLE_BOX, enable_box_check);
    DDX_Control(dx, IDC_ENABLE_ONEDRIVE, enable_onedrive_check);
    DDX_Control(dx, IDC_ENABLE_SHAREPOINT, enable_sharepoint_check);
    DDX_Control(dx, IDC_ENABLE_NETWORK_DISK, enable_network_disk_check);
    DDX_Control(dx, IDC_ENABLE_CRASH_REPORTING, enable_crash_reporting_check);
    DDX_Control(dx, IDC_ENABLE_AZURE_LABELING, enable_azure_labeling_check);
    DDX_Control(dx, IDC_AZURE_FORCE_LOGIN, azure_force_login_check);
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
        azure_force_login_check.SetCheck(BST_UNCHECKED);
    }
    azure_force_login_check.EnableWindow(enable_azure_labeling != 0);
}

void installation_options_dialog_controller::enable_controls(bool enable) {
    EnableWindow(enable);
    for (CWnd* control :
         {static_cast<CWnd*>(&create_desktop_shortcut_check), static_cast<CWnd*>(&install_office_addins_check),
          static_cast<CWnd*>(&install_printer_driver_check), static_cast<CWnd*>(&installation_options_group),
          static_cast<CWnd*>(&enable_crash_reporting_check), static_cast<CWnd*>(&enable_box_check),
          static_cast<CWnd*>(&enable_dropbox_check), static_cast<CWnd*>(&enable_onedrive_check),
          static_cast<CWnd*>(&enable_sharepoint_check), static_cast<CWnd*>(&enable_network_disk_check),
          static_cast<CWnd*>(&enable_azure_labeling_check)})
        control->EnableWindow(enable);
    azure_force_login_check.EnableWindow(enable && enable_azure_labeling != 0);
}

void installation_options_dialog_controller::enable_sign_integration_control(bool enable) {
    enable_sign_integration_check.EnableWindow(enable);
}
