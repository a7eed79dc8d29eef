#pragma once
// The "Help Resources" page: the Knowledge Assistant switch.
#include "dialog/afxwin.h"
#include "installer/settings_values.h"
#include "pages/escape_closes_window.h"
#include "resources/resource.h"

// Its setting is the field of help_page_settings.
class quorlin_ai_dialog_controller : public CDialogEx, public deployment::help_page_settings {
public:
    enum { IDD = IDD_QUORLIN_AI };

    explicit quorlin_ai_dialog_controller(CWnd* parent = nullptr);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override {}
    void OnCancel() override { hand_escape_to(m_pParentWnd); }

    // The setting follows the check box at every click.
    afx_msg void on_knowledge_assistant_clicked();

    DECLARE_MESSAGE_MAP()
};
