#include "wnd.h"

#include "focused_window.h"
#include "icon_handle.h"
#include "window_record.h"
#include "wx_text.h"

#include <wx/control.h>
#include <wx/dcclient.h>
#include <wx/toplevel.h>
#include <wx/window.h>

namespace {

bool is_top_level(const wxWindow* window) { return window->IsTopLevel(); }

// Where `window`'s client area starts, in the coordinates GetWindowRect
// reports. Computed from the toolkit's positions alone so that a rectangle
// taken from one window converts exactly into another's client coordinates,
// also before the windows are on screen.
wxPoint client_origin(const wxWindow* window) {
    if (is_top_level(window) || !window->GetParent()) return window->GetPosition() + window->GetClientAreaOrigin();
    return client_origin(window->GetParent()) + window->GetPosition() + window->GetClientAreaOrigin();
}

wxRect window_rect(const wxWindow* window) {
    if (is_top_level(window) || !window->GetParent()) return window->GetRect();
    return wxRect(client_origin(window->GetParent()) + window->GetPosition(), window->GetSize());
}

}  // namespace

CWnd::~CWnd() {
    wxWindow* window = native();
    const bool owned = owns_native_;
    detach();
    if (owned && window) window->Destroy();
}

void CWnd::attach(wxWindow* window, bool owned) {
    detach();
    window_record& record = record_of(window);
    if (record.permanent && record.permanent != this) record.permanent->m_hWnd = nullptr;
    record.permanent = this;
    m_hWnd = reinterpret_cast<HWND>(window);
    owns_native_ = owned;
}

void CWnd::detach() {
    if (wxWindow* window = native()) {
        window_record* record = find_record(window);
        if (record && record->permanent == this) record->permanent = nullptr;
    }
    m_hWnd = nullptr;
    owns_native_ = false;
}

CWnd* CWnd::FromHandle(wxWindow* window) {
    if (!window) return nullptr;
    window_record& record = record_of(window);
    if (record.permanent) return record.permanent;
    if (!record.temporary) {
        record.temporary = record.make_wrapper ? record.make_wrapper() : std::make_unique<CWnd>();
        record.temporary->m_hWnd = reinterpret_cast<HWND>(window);
    }
    return record.temporary.get();
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    CWnd* child = parent ? parent->GetDlgItem(static_cast<int>(id)) : nullptr;
    if (!child) return FALSE;
    if (child == this) return TRUE;
    attach(child->native(), false);
    return TRUE;
}

int CWnd::GetDlgCtrlID() const {
    if (!native()) return 0;
    const window_record* record = find_record(native());
    return record ? record->id : native()->GetId();
}

CWnd* CWnd::GetDlgItem(int id) const {
    if (!native()) return nullptr;
    for (wxWindow* child : native()->GetChildren()) {
        if (child->IsTopLevel()) continue;
        const window_record* record = find_record(child);
        if ((record ? record->id : child->GetId()) == id) return FromHandle(child);
    }
    return nullptr;
}

BOOL CWnd::EnableWindow(BOOL enable) {
    if (!native()) return FALSE;
    const BOOL was_disabled = native()->IsThisEnabled() ? FALSE : TRUE;
    native()->Enable(enable != FALSE);
    return was_disabled;
}

BOOL CWnd::ShowWindow(int show) {
    if (!native()) return FALSE;
    const BOOL was_visible = native()->IsShown() ? TRUE : FALSE;
    native()->Show(show != SW_HIDE);
    return was_visible;
}

void CWnd::MoveWindow(const CRect& rect, BOOL repaint) {
    if (!native()) return;
    native()->SetSize(rect.left, rect.top, rect.Width(), rect.Height(), wxSIZE_ALLOW_MINUS_ONE);
    if (repaint) native()->Refresh();
}

void CWnd::GetWindowRect(CRect* rect) const {
    if (!native() || !rect) return;
    const wxRect r = window_rect(native());
    *rect = CRect(r.x, r.y, r.x + r.width, r.y + r.height);
}

void CWnd::GetClientRect(CRect* rect) const {
    if (!native() || !rect) return;
    const wxSize size = native()->GetClientSize();
    *rect = CRect(0, 0, size.x, size.y);
}

void CWnd::ScreenToClient(CRect* rect) const {
    if (!native() || !rect) return;
    const wxPoint origin = client_origin(native());
    rect->OffsetRect(-origin.x, -origin.y);
}

void CWnd::InvalidateRect(const CRect* rect, BOOL erase) {
    if (!native()) return;
    if (rect)
        native()->RefreshRect(wxRect(rect->left, rect->top, rect->Width(), rect->Height()), erase != FALSE);
    else
        native()->Refresh(erase != FALSE);
}

CWnd* CWnd::SetFocus() {
    wxWindow* previous = focused_window();
    if (native()) native()->SetFocus();
    return FromHandle(previous);
}

void CWnd::SetWindowText(const std::u16string& text) {
    if (!native()) return;
    record_of(native()).text = text;
    show_text(text);
}

std::u16string CWnd::GetWindowText() const { return native() ? read_text() : std::u16string(); }

void CWnd::show_text(const std::u16string& text) {
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(native()))
        top->SetTitle(to_wx(text));
    else
        native()->SetLabel(to_wx(text));
}

std::u16string CWnd::read_text() const {
    wxWindow* window = native();
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(window)) return from_wx(top->GetTitle());
    if (dynamic_cast<wxControl*>(window)) return from_wx(window->GetLabel());
    return record_of(window).text;
}

BOOL CWnd::IsIconic() const {
    auto* top = dynamic_cast<wxTopLevelWindow*>(native());
    return top && top->IsIconized() ? TRUE : FALSE;
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
    if (!native()) return nullptr;
    window_record& record = record_of(native());
    HICON& slot = big ? record.big_icon : record.small_icon;
    HICON previous = slot;
    slot = icon;
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(native())) {
        wxIconBundle icons;
        for (HICON icon_set : {record.big_icon, record.small_icon})
            if (icon_set)
                for (size_t i = 0; i < icon_set->icons.GetIconCount(); ++i)
                    icons.AddIcon(icon_set->icons.GetIconByIndex(i));
        top->SetIcons(icons);
    }
    return previous;
}

void CWnd::OnPaint() {
    if (native()) wxPaintDC validate(native());
}

HCURSOR CWnd::OnQueryDragIcon() { return nullptr; }

LRESULT CWnd::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    LRESULT result = 0;
    switch (message) {
    case WM_COMMAND: OnCmdMsg(WM_COMMAND, HIWORD(wparam), LOWORD(wparam), nullptr, &result); return result;
    case WM_QUERYDRAGICON:
        if (!OnCmdMsg(WM_QUERYDRAGICON, 0, 0, nullptr, &result)) result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return result;
    case WM_SETICON: return reinterpret_cast<LRESULT>(SetIcon(reinterpret_cast<HICON>(lparam), wparam == ICON_BIG));
    case WM_ICONERASEBKGND: return 0;  // the dialog face is the background
    default: return on_message(message, wparam, lparam);
    }
}

LRESULT CWnd::on_message(UINT, WPARAM, LPARAM) { return 0; }
