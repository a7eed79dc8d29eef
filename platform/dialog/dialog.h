#pragma once
// Dialogs built from templates of the current resource source. A template
// with WS_CHILD becomes a child page over its parent (Create); any other
// becomes a top-level dialog (DoModal). Controls are placed at their
// dialog-unit rectangles in template (tab) order.
//
// Keys: Escape sends IDCANCEL and Enter IDOK (or the default push button)
// to the innermost dialog holding the focus, whose table maps them to
// OnCancel and OnOK; they never travel on to an enclosing dialog. The close
// box sends IDCANCEL to the top-level dialog.
#include "wnd.h"

class CDataExchange;
class wxKeyEvent;

class CDialog : public CWnd {
public:
    CDialog() = default;
    explicit CDialog(UINT template_id, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the window as a child of `parent` (or of the parent given at
    // construction). FALSE when the template is missing or OnInitDialog fails.
    BOOL Create(UINT template_id, CWnd* parent = nullptr);
    // Runs the dialog modally: IDOK, IDCANCEL or the EndDialog value; -1 when
    // the template is missing.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    // FALSE when a validation failed (the failing routine has told the user).
    BOOL UpdateData(BOOL save_and_validate = TRUE);

    virtual BOOL OnInitDialog();  // base: UpdateData(FALSE), TRUE
    virtual void OnOK();          // base: UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();      // base: EndDialog(IDCANCEL)

    UINT template_id() const { return template_id_; }

protected:
    virtual void DoDataExchange(CDataExchange* dx);

    CWnd* m_pParentWnd = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    BOOL build(wxWindow* native_parent, bool modal);
    void on_key(wxKeyEvent& event);  // Enter and Escape
    static constexpr INT_PTR no_result = INT_PTR(-0x7FFFFFFF);
    UINT template_id_ = 0;
    bool modal_running_ = false;
    INT_PTR pending_result_ = no_result;
};

class CDialogEx : public CDialog {
public:
    CDialogEx() = default;
    explicit CDialogEx(UINT template_id, CWnd* parent = nullptr) : CDialog(template_id, parent) {}

    DECLARE_MESSAGE_MAP()
};
