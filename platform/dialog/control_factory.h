#pragma once
// Native controls for the entries of a dialog template, and the translation
// of their toolkit events into the owning dialog's messages.
#include "dialog_template.h"

#include <wx/gdicmn.h>

class wxWindow;

// Creates the control in `parent` at `rect` (pixels, parent's client
// coordinates) with the entry's styles applied. Null for an unknown class.
wxWindow* create_control(wxWindow* parent, const control_template& control, const wxRect& rect);

// Shows the enabled state where the toolkit's control does not: the tree
// draws its items alike either way.
void show_enabled_state(wxWindow* control);

// Tree item parameter storage (CTreeCtrl::SetItemData).
#include <wx/treebase.h>
#include "windows_types.h"
struct tree_item_param : wxTreeItemData {
    explicit tree_item_param(DWORD_PTR v) : value(v) {}
    DWORD_PTR value;
};
