#include "tree_view.h"

#include <wx/settings.h>

tree_view::tree_view(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style)
    : wxTreeCtrl(parent, id, pos, size, style) {
    show_enabled_state();
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
