#include "wnd.h"

#include "control_factory.h"
#include "controls.h"
#include "icon_handle.h"
#include "native_window.h"
#include "rich_label.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/treectrl.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
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

namespace {
// A temporary wrapper of the control's own class, so that the usual cast of
// GetDlgItem's result to CButton*, CEdit*, ... is sound.
std::unique_ptr<CWnd> wrapper_for(wxWindow* window) {
    if (dynamic_cast<wxCheckBox*>(window) || dynamic_cast<wxButton*>(window) || dynamic_cast<wxStaticBox*>(window) ||
        dynamic_cast<wxRadioButton*>(window))
        return std::make_unique<CButton>();
    if (dynamic_cast<wxTextCtrl*>(window)) return std::make_unique<CEdit>();
    if (dynamic_cast<wxChoice*>(window)) return std::make_unique<CComboBox>();
    if (dynamic_cast<wxTreeCtrl*>(window)) return std::make_unique<CTreeCtrl>();
    if (auto* label = dynamic_cast<rich_label*>(window))
        return label->AcceptsFocus() || label->link_count() > 0 ? std::unique_ptr<CWnd>(std::make_unique<CLinkCtrl>())
                                                                : std::unique_ptr<CWnd>(std::make_unique<CStatic>());
    if (dynamic_cast<wxStaticText*>(window) || dynamic_cast<wxStaticBitmap*>(window)) return std::make_unique<CStatic>();
    return std::make_unique<CWnd>();
}
}  // namespace

CWnd* CWnd::FromHandle(wxWindow* window) {
    if (!window) return nullptr;
    window_record& record = record_of(window);
    if (record.permanent) return record.permanent;
    if (!record.temporary) {
        record.temporary = wrapper_for(window);
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

CWnd* CWnd::GetParent() const { return native() ? FromHandle(native()->GetParent()) : nullptr; }

BOOL CWnd::EnableWindow(BOOL enable) {
    if (!native()) return FALSE;
    const BOOL was_disabled = native()->IsThisEnabled() ? FALSE : TRUE;
    native()->Enable(enable != FALSE);
    show_enabled_state(native());
    return was_disabled;
}

BOOL CWnd::IsWindowEnabled() const { return native() && native()->IsThisEnabled() ? TRUE : FALSE; }

BOOL CWnd::ShowWindow(int show) {
    if (!native()) return FALSE;
    const BOOL was_visible = native()->IsShown() ? TRUE : FALSE;
    native()->Show(show != SW_HIDE);
    return was_visible;
}

BOOL CWnd::IsWindowVisible() const {
    for (const wxWindow* window = native(); window; window = window->GetParent()) {
        if (!window->IsShown()) return FALSE;
        if (window->IsTopLevel()) return TRUE;
    }
    return FALSE;
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
    if (!native()) return;
    native()->SetSize(x, y, width, height, wxSIZE_ALLOW_MINUS_ONE);
    if (repaint) native()->Refresh();
}

void CWnd::MoveWindow(const CRect& rect, BOOL repaint) {
    MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), repaint);
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

void CWnd::ScreenToClient(CPoint* point) const {
    if (!native() || !point) return;
    const wxPoint origin = client_origin(native());
    point->x -= origin.x;
    point->y -= origin.y;
}

void CWnd::ClientToScreen(CRect* rect) const {
    if (!native() || !rect) return;
    const wxPoint origin = client_origin(native());
    rect->OffsetRect(origin.x, origin.y);
}

void CWnd::InvalidateRect(const CRect* rect, BOOL erase) {
    if (!native()) return;
    if (rect)
        native()->RefreshRect(wxRect(rect->left, rect->top, rect->Width(), rect->Height()), erase != FALSE);
    else
        native()->Refresh(erase != FALSE);
}

CWnd* CWnd::SetFocus() {
    wxWindow* previous = wxWindow::FindFocus();
    if (native()) native()->SetFocus();
    return FromHandle(previous);
}

CWnd* CWnd::GetFocus() { return FromHandle(wxWindow::FindFocus()); }

void CWnd::SetWindowText(const std::u16string& text) {
    wxWindow* window = native();
    if (!window) return;
    window_record& record = record_of(window);
    record.text = text;
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(window)) {
        top->SetTitle(to_wx(text));
    } else if (auto* edit = dynamic_cast<wxTextCtrl*>(window)) {
        record.accepted_text = text;
        edit->ChangeValue(to_wx(text));
    } else if (auto* label = dynamic_cast<wxStaticText*>(window)) {
        label->SetLabel(to_wx(text));
        label->Wrap(label->GetSize().x);
    } else if (auto* rich = dynamic_cast<rich_label*>(window)) {
        rich->set_text(text);
    } else {
        window->SetLabel(to_wx(text));
    }
}

std::u16string CWnd::GetWindowText() const {
    wxWindow* window = native();
    if (!window) return {};
    if (auto* top = dynamic_cast<wxTopLevelWindow*>(window)) return from_wx(top->GetTitle());
    if (auto* edit = dynamic_cast<wxTextCtrl*>(window)) return from_wx(edit->GetValue());
    if (dynamic_cast<wxStaticText*>(window) || dynamic_cast<rich_label*>(window)) return record_of(window).text;
    if (dynamic_cast<wxControl*>(window)) return from_wx(window->GetLabel());
    return record_of(window).text;
}

void CWnd::GetWindowText(std::u16string& text) const { text = GetWindowText(); }

int CWnd::GetWindowTextLength() const { return static_cast<int>(GetWindowText().size()); }

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
                for (size_t i = 0; i < icon_set->icons.GetIconCount(); ++i) icons.AddIcon(icon_set->icons.GetIconByIndex(i));
        top->SetIcons(icons);
    }
    return previous;
}

HICON CWnd::GetIcon(BOOL big) const {
    if (!native()) return nullptr;
    const window_record* record = find_record(native());
    if (!record) return nullptr;
    return big ? record->big_icon : record->small_icon;
}

DWORD CWnd::GetStyle() const {
    if (!native()) return 0;
    const window_record* record = find_record(native());
    DWORD style = record ? record->style : 0;
    style = native()->IsShown() ? (style | WS_VISIBLE) : (style & ~WS_VISIBLE);
    style = native()->IsThisEnabled() ? (style & ~WS_DISABLED) : (style | WS_DISABLED);
    return style;
}

BOOL CWnd::DestroyWindow() {
    wxWindow* window = native();
    if (!window) return FALSE;
    detach();
    window->Destroy();
    return TRUE;
}

void CWnd::CheckDlgButton(int id, UINT check) {
    if (CWnd* button = GetDlgItem(id)) as_control<CButton>(*button, [&](CButton& b) { b.SetCheck(static_cast<int>(check)); });
}

UINT CWnd::IsDlgButtonChecked(int id) const {
    CWnd* button = GetDlgItem(id);
    return button ? static_cast<UINT>(as_control<CButton>(*button, [](CButton& b) { return b.GetCheck(); })) : 0;
}

void CWnd::SetDlgItemText(int id, const std::u16string& text) {
    if (CWnd* item = GetDlgItem(id)) item->SetWindowText(text);
}

void CWnd::OnPaint() {
    if (native()) wxPaintDC validate(native());
}

HCURSOR CWnd::OnQueryDragIcon() { return nullptr; }

LRESULT CWnd::SendMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    LRESULT result = 0;
    switch (message) {
    case WM_COMMAND:
        OnCmdMsg(WM_COMMAND, HIWORD(wparam), LOWORD(wparam), nullptr, &result);
        return result;
    case WM_NOTIFY: {
        auto* notify = reinterpret_cast<NMHDR*>(lparam);
        if (notify) OnCmdMsg(WM_NOTIFY, notify->code, static_cast<UINT>(notify->idFrom), notify, &result);
        return result;
    }
    case WM_PAINT:
        if (!OnCmdMsg(WM_PAINT, 0, 0, nullptr, &result)) OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        if (!OnCmdMsg(WM_QUERYDRAGICON, 0, 0, nullptr, &result))
            result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return result;
    case WM_SETICON:
        return reinterpret_cast<LRESULT>(SetIcon(reinterpret_cast<HICON>(lparam), wparam == ICON_BIG));
    case WM_ICONERASEBKGND:
        return 0;
    case WM_SETTEXT:
        SetWindowText(lparam ? reinterpret_cast<LPCWSTR>(lparam) : u"");
        return TRUE;
    case BM_GETCHECK:
        return as_control<CButton>(*this, [&](CButton& b) { return b.GetCheck(); });
    case BM_SETCHECK:
        as_control<CButton>(*this, [&](CButton& b) { b.SetCheck(static_cast<int>(wparam)); });
        return 0;
    case EM_SETLIMITTEXT:
        as_control<CEdit>(*this, [&](CEdit& e) { e.SetLimitText(static_cast<UINT>(wparam)); });
        return 0;
    case EM_SHOWBALLOONTIP:
        return as_control<CEdit>(*this, [&](CEdit& e) {
            return e.ShowBalloonTip(reinterpret_cast<const EDITBALLOONTIP*>(lparam));
        });
    case CB_ADDSTRING:
        return as_control<CComboBox>(*this, [&](CComboBox& c) {
            return c.AddString(lparam ? reinterpret_cast<LPCWSTR>(lparam) : u"");
        });
    case CB_GETCOUNT:
        return as_control<CComboBox>(*this, [&](CComboBox& c) { return c.GetCount(); });
    case CB_GETCURSEL:
        return as_control<CComboBox>(*this, [&](CComboBox& c) { return c.GetCurSel(); });
    case CB_SETCURSEL:
        return as_control<CComboBox>(*this, [&](CComboBox& c) { return c.SetCurSel(static_cast<int>(wparam)); });
    case CB_SELECTSTRING:
        return as_control<CComboBox>(*this, [&](CComboBox& c) {
            return c.SelectString(static_cast<int>(static_cast<INT_PTR>(wparam)),
                                  lparam ? reinterpret_cast<LPCWSTR>(lparam) : u"");
        });
    case CB_GETITEMDATA:
        return as_control<CComboBox>(*this, [&](CComboBox& c) {
            return static_cast<LRESULT>(c.GetItemData(static_cast<int>(wparam)));
        });
    case CB_SETITEMDATA:
        return as_control<CComboBox>(*this, [&](CComboBox& c) {
            return c.SetItemData(static_cast<int>(wparam), static_cast<DWORD_PTR>(lparam));
        });
    case TVM_GETNEXTITEM:
        return reinterpret_cast<LRESULT>(as_control<CTreeCtrl>(*this, [&](CTreeCtrl& t) {
            return t.GetNextItem(reinterpret_cast<HTREEITEM>(lparam), static_cast<UINT>(wparam));
        }));
    case TVM_SELECTITEM:
        return as_control<CTreeCtrl>(*this, [&](CTreeCtrl& t) {
            return t.Select(reinterpret_cast<HTREEITEM>(lparam), static_cast<UINT>(wparam));
        });
    case LM_SETITEM:
        return as_control<CLinkCtrl>(*this, [&](CLinkCtrl& l) { return l.SetItem(reinterpret_cast<const LITEM*>(lparam)); });
    case LM_GETITEM:
        return as_control<CLinkCtrl>(*this, [&](CLinkCtrl& l) { return l.GetItem(reinterpret_cast<LITEM*>(lparam)); });
    default:
        return 0;
    }
}
