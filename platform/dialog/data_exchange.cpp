#include "data_exchange.h"

#include "controls.h"
#include "ui_services.h"

#include <string>

HWND CDataExchange::PrepareCtrl(int id) {
    m_idLastControl = id;
    m_bEditLastControl = FALSE;
    CWnd* control = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(id) : nullptr;
    return control ? control->m_hWnd : nullptr;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return control;
}

void CDataExchange::Fail() {
    // Put the administrator where the problem is.
    if (m_bSaveAndValidate && m_idLastControl != 0 && m_pDlgWnd) {
        if (CWnd* control = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
            control->SetFocus();
            if (m_bEditLastControl) as_control<CEdit>(*control, [](CEdit& edit) { edit.SetSel(0, -1); });
        }
    }
    throw data_exchange_failure{};
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd == nullptr) control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    CWnd* control = CWnd::FromHandle(dx->PrepareCtrl(id));
    if (!control) return;
    as_control<CButton>(*control, [&](CButton& button) {
        if (dx->m_bSaveAndValidate) {
            value = button.GetCheck();
        } else {
            if (value < 0 || value > 2) value = 0;
            button.SetCheck(value);
        }
    });
}

void DDX_Text(CDataExchange* dx, int id, std::u16string& value) {
    CWnd* edit = CWnd::FromHandle(dx->PrepareEditCtrl(id));
    if (!edit) return;
    if (dx->m_bSaveAndValidate)
        value = edit->GetWindowText();
    else
        edit->SetWindowText(value);
}

void DDV_MaxChars(CDataExchange* dx, const std::u16string& value, int max_chars) {
    if (dx->m_bSaveAndValidate && value.size() > static_cast<std::size_t>(max_chars)) {
        const std::string count = std::to_string(max_chars);
        AfxMessageBox(u"Please enter no more than " + std::u16string(count.begin(), count.end()) + u" characters.",
                      MB_ICONEXCLAMATION);
        dx->Fail();
    }
    if (dx->m_idLastControl != 0 && dx->m_bEditLastControl && dx->m_pDlgWnd) {
        if (CWnd* edit = dx->m_pDlgWnd->GetDlgItem(dx->m_idLastControl))
            as_control<CEdit>(*edit, [&](CEdit& e) { e.SetLimitText(static_cast<UINT>(max_chars)); });
    }
}
