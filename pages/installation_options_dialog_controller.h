#pragma once
// The "General" page: installation options, remote storage integrations,
// Azure labeling and the language the installed application starts in.
#include "dialog/afxwin.h"
#include "pages/escape_closes_window.h"
#include "resources/resource.h"

#include <string>

class installation_options_dialog_controller : public CDialogEx {
public:
    enum { IDD = IDD_INSTALLATION_OPTIONS };

    explicit installation_options_dialog_controller(CWnd* parent = nullptr);

    // Settings: 0 = unchecked, 1 = checked.
    int create_desktop_shortcut = 0;
    int install_office_addins = 0;
    int install_printer_driver = 0;
    int enable_sign_integration = 0;
    int enable_dropbox = 0;
    int enable_box = 0;
    int enable_onedrive = 0;
    int enable_sharepoint = 0;
    int enable_network_disk = 0;
    int enable_crash_reporting = 0;
    int enable_azure_labeling = 0;
    int azure_force_login = 0;

    // Switches the page and its options; Force Login only while labeling is on.
    void enable_controls(bool enable);
    // The e-signature option follows its own rule (the product), apart from the rest.
    void enable_sign_integration_control(bool enable);
    // The chosen language's code; the default language's when nothing is chosen.
    std::u16string selected_language_code() const;
    // Selects the entry with that code; false (and no change) for a code the
    // list does not hold.
    bool select_language_code(const std::u16string& code);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override { hand_escape_to(m_pParentWnd); }

    afx_msg void on_azure_labeling_clicked();

    DECLARE_MESSAGE_MAP()

private:
    CButton create_desktop_shortcut_check;
    CButton install_office_addins_check;
    CButton install_printer_driver_check;
    CButton enable_sign_integration_check;
    CButton enable_dropbox_check;
    CButton enable_box_check;
    CButton enable_onedrive_check;
    CButton enable_sharepoint_check;
    CButton enable_network_disk_check;
    CButton enable_crash_reporting_check;
    CButton enable_azure_labeling_check;
    CButton azure_force_login_check;
    CComboBox language_list;
    CButton installation_options_group;
};
