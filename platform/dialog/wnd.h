#pragma once
// CWnd: a window or control of the framework, wrapping a native toolkit
// window. Control objects bound by DDX_Control and the dialogs themselves
// are permanent wrappers; GetDlgItem on an unbound control hands out a
// temporary wrapper of the control's own class that lives as long as the
// native window.
#include "message_map.h"
#include "windows_types.h"

#include <string>

class wxWindow;

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;  // the native window (a wxWindow*), null before creation

    wxWindow* native() const { return reinterpret_cast<wxWindow*>(m_hWnd); }
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The permanent wrapper of `window` if one is bound, else a temporary one.
    static CWnd* FromHandle(wxWindow* window);
    static CWnd* FromHandle(HWND window) { return FromHandle(reinterpret_cast<wxWindow*>(window)); }

    int GetDlgCtrlID() const;
    CWnd* GetDlgItem(int id) const;  // direct children only; null when absent

    BOOL EnableWindow(BOOL enable = TRUE);  // returns TRUE if it was disabled
    BOOL ShowWindow(int show);              // returns TRUE if it was visible
    void MoveWindow(const CRect& rect, BOOL repaint = TRUE);
    void GetWindowRect(CRect* rect) const;  // screen coordinates
    void GetClientRect(CRect* rect) const;
    void ScreenToClient(CRect* rect) const;
    void InvalidateRect(const CRect* rect, BOOL erase = TRUE);
    CWnd* SetFocus();  // returns the window that had the focus
    void SetWindowText(const std::u16string& text);
    std::u16string GetWindowText() const;
    BOOL IsIconic() const;
    HICON SetIcon(HICON icon, BOOL big);

    // The messages sent to windows: WM_COMMAND, WM_SETICON, WM_ICONERASEBKGND
    // and WM_QUERYDRAGICON here, the controls' own in their classes.
    // Message-table entries are consulted first where a table may have one.
    LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

    // Binds this wrapper to the child control `id` of `parent` (DDX_Control).
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

protected:
    afx_msg void OnPaint();             // default painting
    afx_msg HCURSOR OnQueryDragIcon();  // no drag icon

    // What a control class adds to SendMessage; 0 for a message it does not know.
    virtual LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam);
    // How the native window shows and gives back its text (SetWindowText
    // keeps the text as given in any case).
    virtual void show_text(const std::u16string& text);
    virtual std::u16string read_text() const;

    // Wraps `window` permanently (owned or not by this object).
    void attach(wxWindow* window, bool owned);
    void detach();

private:
    friend struct window_registry;
    bool owns_native_ = false;
};
