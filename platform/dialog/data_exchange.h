#pragma once
// Data exchange between a dialog's fields and its controls. A dialog's
// DoDataExchange calls these in order; UpdateData(FALSE) moves fields into
// controls, UpdateData(TRUE) controls into fields. A validation that fails
// tells the user, focuses the control and makes UpdateData return FALSE.
#include "wnd.h"

#include <string>

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL save_and_validate) : m_bSaveAndValidate(save_and_validate), m_pDlgWnd(dialog) {}

    BOOL m_bSaveAndValidate;  // TRUE: controls -> fields
    CWnd* m_pDlgWnd;
    int m_idLastControl = 0;
    BOOL m_bEditLastControl = FALSE;

    HWND PrepareCtrl(int id);  // the control `id` of the dialog; remembers it
    HWND PrepareEditCtrl(int id);
    [[noreturn]] void Fail();  // focuses the last control, ends the exchange
};

void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Check(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, std::u16string& value);
// On save, a text longer than `max_chars` shows "Please enter no more than
// <n> characters." and fails; otherwise the edit box is limited to `max_chars`.
void DDV_MaxChars(CDataExchange* dx, const std::u16string& value, int max_chars);

// Thrown by CDataExchange::Fail, caught by CDialog::UpdateData.
struct data_exchange_failure {};
