#include "tree_view.h"

#include <wx/dcclient.h>
#include <wx/settings.h>

tree_view::tree_view(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style)
    : wxTreeCtrl(parent, id, pos, size, style) {
    show_enabled_state();
    Bind(wxEVT_PAINT, &tree_view::on_paint, this);
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) {
        Refresh();
        event.Skip();
    });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
        Refresh();
        event.Skip();
    });
}

bool tree_view::Enable(bool enable) {
    const bool changed = wxTreeCtrl::Enable(enable);
    show_enabled_state();
    return changed;
}

void tree_view::show_enabled_state() {
    SetForegroundColour(IsThisEnabled() ? wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOXTEXT)
                                        : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    Refresh();
}

void tree_view::on_paint(wxPaintEvent& event) {
    wxTreeCtrl::OnPaint(event);
    if (!HasFocus()) return;
    wxPaintDC dc(this);
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT), 2));
    const wxSize size = GetClientSize();
    dc.DrawRectangle(1, 1, size.x - 1, size.y - 1);
}
