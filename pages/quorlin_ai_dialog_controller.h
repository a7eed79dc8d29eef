#pragma once
// The "Help Resources" page: the Knowledge Assistant switch.
#include "dialog/afxwin.h"
#include "pages/escape_closes_window.h"
#include "resources/resource.h"

class quorlin_ai_dialog_controller : public CDialogEx {
public:
    enum { IDD = IDD_QUORLIN_AI };

    explicit quorlin_ai_dialog_controller(CWnd* parent = nullptr);

    int knowledge_assistant_enabled = 0;  // 0 = off, 1 = on

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override {}
    void OnCancel() override { hand_escape_to(m_pParentWnd); }

    // The setting follows the check box at every click.
    afx_msg void on_knowledge_assistant_clicked();

    DECLARE_MESSAGE_MAP()
};
