#pragma once
// The toolkit's tree as the tree control needs it: each item's parameter
// kept as item data, the items greyed while the tree is disabled, and a ring
// round the tree while it has the keyboard's focus (the toolkit draws all of
// these alike either way).
#include "windows_types.h"

#include <wx/treectrl.h>

struct tree_item_param : wxTreeItemData {
    explicit tree_item_param(DWORD_PTR v) : value(v) {}
    DWORD_PTR value;
};

class tree_view : public wxTreeCtrl {
public:
    tree_view(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style);
    bool Enable(bool enable = true) override;

private:
    void show_enabled_state();
    void on_paint(wxPaintEvent& event);
};
