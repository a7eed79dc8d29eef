#include "dialog.h"

#include "control_factory.h"
#include "data_exchange.h"
#include "focused_window.h"
#include "parent_notification.h"
#include "resource_source.h"
#include "rich_label.h"
#include "window_record.h"
#include "wx_text.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/panel.h>
#include <wx/textctrl.h>

namespace {

constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
constexpr std::uint32_t BS_TYPEMASK = 0xF;

// The dialog (page or top-level) that holds `window`: where its keys go.
CDialog* innermost_dialog(wxWindow* window) {
    for (; window; window = window->GetParent()) {
        if (window_record* record = find_record(window))
            if (auto* dialog = dynamic_cast<CDialog*>(record->permanent)) return dialog;
        if (window->IsTopLevel()) break;
    }
    return nullptr;
}

// The dialog object still bound to `window`: after the object is gone, a
// top-level window may live on until the toolkit deletes it.
CDialog* bound_dialog(wxWindow* window) {
    window_record* record = find_record(window);
    return record ? dynamic_cast<CDialog*>(record->permanent) : nullptr;
}

// Template rectangle in pixels of `dialog_window`'s dialog units. Each edge
// is converted on its own, so adjacent rectangles stay adjacent.
wxRect dialog_units_to_pixels(wxWindow* dialog_window, int x, int y, int cx, int cy) {
    const wxPoint top_left = dialog_window->ConvertDialogToPixels(wxPoint(x, y));
    const wxPoint bottom_right = dialog_window->ConvertDialogToPixels(wxPoint(x + cx, y + cy));
    return wxRect(top_left, wxSize(bottom_right.x - top_left.x, bottom_right.y - top_left.y));
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CDialogEx, CDialog)
END_MESSAGE_MAP()

CDialog::CDialog(UINT template_id, CWnd* parent) : m_pParentWnd(parent), template_id_(template_id) {}

CDialog::~CDialog() = default;

BOOL CDialog::Create(UINT template_id, CWnd* parent) {
    template_id_ = template_id;
    if (parent) m_pParentWnd = parent;
    if (m_hWnd) return FALSE;
    wxWindow* native_parent = m_pParentWnd ? m_pParentWnd->native() : nullptr;
    return build(native_parent, false);
}

namespace {

// A page (a child template with a parent) becomes a panel, anything else a
// dialog window with the template's frame.
wxWindow* new_dialog_window(const dialog_template& t, wxWindow* native_parent, bool child) {
    if (!child) {
        long style = wxCAPTION;
        if (t.style & WS_SYSMENU) style |= wxSYSTEM_MENU | wxCLOSE_BOX;
        if (t.style & WS_THICKFRAME) style |= wxRESIZE_BORDER;
        return new wxDialog(native_parent, wxID_ANY, to_wx(t.caption), wxDefaultPosition, wxDefaultSize, style);
    }
    wxWindow* window =
        new wxPanel(native_parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxBORDER_NONE);
    window->Hide();
    // A page paints the dialog face over whatever lies beneath it (the
    // frame it covers is black); GTK leaves a panel transparent.
    if (wxWindow* top = wxGetTopLevelParent(native_parent)) window->SetBackgroundColour(top->GetBackgroundColour());
    return window;
}

// The dialog's WM_PAINT handler paints the window while the dialog object lives.
void paint_through_message_map(wxWindow* window) {
    window->Bind(wxEVT_PAINT, [window](wxPaintEvent&) {
        CDialog* self = bound_dialog(window);
        if (!self) {
            wxPaintDC nothing_to_paint(window);
            return;
        }
        LRESULT ignored = 0;
        self->OnCmdMsg(WM_PAINT, 0, 0, nullptr, &ignored);
    });
}

}  // namespace

BOOL CDialog::build(wxWindow* native_parent, bool modal) {
    const dialog_template* source = current_resource_source().find_dialog(static_cast<int>(template_id_));
    if (!source) return FALSE;
    // Copy: a language module may be replaced while the window lives.
    const dialog_template t = *source;
    const bool child = !modal && (t.style & WS_CHILD) && native_parent;

    wxWindow* window = new_dialog_window(t, native_parent, child);
    attach(window, true);
    window_record& record = record_of(window);
    record.id = 0;
    record.style = t.style;
    record.text = t.caption;

    if (child) {
        window->SetSize(dialog_units_to_pixels(window, t.x, t.y, t.cx, t.cy));
    } else {
        window->SetClientSize(window->ConvertDialogToPixels(wxSize(t.cx, t.cy)));
        window->Centre();
    }
    for (const control_template& control : t.controls)
        create_control(window, control, dialog_units_to_pixels(window, control.x, control.y, control.cx, control.cy));

    window->Bind(wxEVT_CHAR_HOOK, [window](wxKeyEvent& event) {
        CDialog* self = bound_dialog(window);
        if (!self) {
            event.Skip();
            return;
        }
        self->on_key(event);
    });
    if (!child) {
        window->Bind(wxEVT_CLOSE_WINDOW, [window](wxCloseEvent& event) {
            CDialog* self = bound_dialog(window);
            if (!self || !event.CanVeto()) {
                if (self) self->detach();
                window->Destroy();
                return;
            }
            // The close box is Escape's twin: the dialog's OnCancel decides.
            event.Veto();
            LRESULT ignored = 0;
            self->OnCmdMsg(WM_COMMAND, 0, IDCANCEL, nullptr, &ignored);
        });
    }
    if (HasMessageEntry(WM_PAINT)) paint_through_message_map(window);

    if (t.style & WS_DISABLED) window->Disable();
    if (child && (t.style & WS_VISIBLE)) window->Show();
    OnInitDialog();
    return TRUE;
}

void CDialog::on_key(wxKeyEvent& event) {
    wxWindow* window = native();
    auto* focus = dynamic_cast<wxWindow*>(event.GetEventObject());
    if (!focus) focus = focused_window();
    // Only the innermost dialog of the focus sees Enter and Escape; an
    // enclosing dialog (the main window around a page) never does.
    if (innermost_dialog(focus ? focus : window) != this || event.HasAnyModifiers()) {
        event.Skip();
        return;
    }
    const int key = event.GetKeyCode();
    LRESULT ignored = 0;
    if (key == WXK_ESCAPE) {
        OnCmdMsg(WM_COMMAND, 0, IDCANCEL, nullptr, &ignored);
        return;
    }
    if (key != WXK_RETURN && key != WXK_NUMPAD_ENTER) {
        event.Skip();
        return;
    }
    if (auto* button = dynamic_cast<wxButton*>(focus)) {
        notify_parent(button, WM_COMMAND, BN_CLICKED);
        return;
    }
    if (dynamic_cast<rich_label*>(focus) && focus->AcceptsFocus()) {
        static_cast<rich_label*>(focus)->activate_focused_link();
        return;
    }
    if (auto* edit = dynamic_cast<wxTextCtrl*>(focus); edit && edit->IsMultiLine()) {
        event.Skip();
        return;
    }
    for (wxWindow* child_window : window->GetChildren()) {
        const window_record* r = find_record(child_window);
        if (r && r->class_name == WC_BUTTON && (r->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
            child_window->IsEnabled() && child_window->IsShown()) {
            notify_parent(child_window, WM_COMMAND, BN_CLICKED);
            return;
        }
    }
    OnCmdMsg(WM_COMMAND, 0, IDOK, nullptr, &ignored);
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd) return -1;
    wxWindow* native_parent = m_pParentWnd ? m_pParentWnd->native() : nullptr;
    pending_result_ = no_result;
    modal_running_ = true;  // EndDialog from OnInitDialog ends the run before it starts
    if (!build(native_parent, true)) {
        modal_running_ = false;
        return -1;
    }
    auto* dialog = static_cast<wxDialog*>(native());
    INT_PTR result = pending_result_;
    if (result == no_result) result = dialog->ShowModal();
    modal_running_ = false;
    detach();
    delete dialog;
    return result;
}

void CDialog::EndDialog(int result) {
    auto* dialog = dynamic_cast<wxDialog*>(native());
    if (dialog && modal_running_) {
        if (dialog->IsModal())
            dialog->EndModal(result);
        else
            pending_result_ = result;
        return;
    }
    ShowWindow(SW_HIDE);
}

BOOL CDialog::UpdateData(BOOL save_and_validate) {
    CDataExchange exchange(this, save_and_validate);
    try {
        DoDataExchange(&exchange);
    } catch (const data_exchange_failure&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}
