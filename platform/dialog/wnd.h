#pragma once
// CWnd: a window or control of the framework, wrapping a native toolkit
// window. Control objects bound by DDX_Control and the dialogs themselves
// are permanent wrappers; GetDlgItem on an unbound control hands out a
// temporary wrapper that lives as long as the native window.
#include "message_map.h"
#include "windows_types.h"

#include <string>

class wxWindow;
class wxWindowDestroyEvent;

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
    CWnd* GetDlgItem(int id) const;   // direct children only; null when absent
    CWnd* GetParent() const;

    BOOL EnableWindow(BOOL enable = TRUE);   // returns TRUE if it was disabled
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int show);               // returns TRUE if it was visible
    BOOL IsWindowVisible() const;            // it and all its parents shown
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(const CRect& rect, BOOL repaint = TRUE);
    void GetWindowRect(CRect* rect) const;   // screen coordinates
    void GetClientRect(CRect* rect) const;
    void ScreenToClient(CRect* rect) const;
    void ScreenToClient(CPoint* point) const;
    void ClientToScreen(CRect* rect) const;
    void InvalidateRect(const CRect* rect, BOOL erase = TRUE);
    void Invalidate(BOOL erase = TRUE) { InvalidateRect(nullptr, erase); }
    CWnd* SetFocus();                        // returns the window that had the focus
    static CWnd* GetFocus();
    void SetWindowText(const std::u16string& text);
    void GetWindowText(std::u16string& text) const;
    std::u16string GetWindowText() const;
    int GetWindowTextLength() const;
    BOOL IsIconic() const;
    HICON SetIcon(HICON icon, BOOL big);
    HICON GetIcon(BOOL big) const;
    DWORD GetStyle() const;                  // the template style of the window
    BOOL DestroyWindow();

    // Helpers on direct child controls.
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    void SetDlgItemText(int id, const std::u16string& text);

    // A subset of window messages (WM_SETICON, WM_ICONERASEBKGND,
    // WM_QUERYDRAGICON, WM_COMMAND, WM_NOTIFY, BM_, CB_, EM_, TVM_, LM_ ones
    // declared in windows_types.h). Message-table entries are consulted first.
    LRESULT SendMessage(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);

    // Binds this wrapper to the child control `id` of `parent` (DDX_Control).
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

protected:
    afx_msg void OnPaint();                 // default painting
    afx_msg HCURSOR OnQueryDragIcon();      // no drag icon

    // Wraps `window` permanently (owned or not by this object).
    void attach(wxWindow* window, bool owned);
    void detach();

private:
    friend struct window_registry;
    bool owns_native_ = false;
};
