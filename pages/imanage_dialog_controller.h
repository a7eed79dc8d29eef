#pragma once
// The "iManage Work 10" page: the integration switch and the path of the
// iManage Work folder, which must not be empty while the integration is on.
#include "dialog/afxwin.h"
#include "installer/settings_values.h"
#include "pages/escape_closes_window.h"
#include "resources/resource.h"

#include <string>

// Its settings are the fields of imanage_page_settings.
class imanage_dialog_controller : public CDialogEx, public deployment::imanage_page_settings {
public:
    enum { IDD = IDD_IMANAGE };

    static constexpr int max_install_path_length = 2048;

    explicit imanage_dialog_controller(CWnd* parent = nullptr);

    // Pulls the controls and lets the path controls follow the check box.
    afx_msg void on_imanage_enabled_clicked();
    // Trims the path and shows it trimmed. False, with the focus on the path
    // and a balloon tip saying what is missing, when the integration is on
    // and the path is empty.
    bool validate_install_path();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override {}
    void OnCancel() override { hand_escape_to(m_pParentWnd); }

    DECLARE_MESSAGE_MAP()

private:
    CEdit install_path_edit;
    CStatic install_path_label;
    CStatic install_path_hint;
};
