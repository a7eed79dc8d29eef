#include "controls.h"

#include "tree_view.h"
#include "wx_text.h"

namespace {

wxTreeCtrl* tree_of(const CWnd* control) { return dynamic_cast<wxTreeCtrl*>(control->native()); }
HTREEITEM to_handle(const wxTreeItemId& id) { return id.IsOk() ? reinterpret_cast<HTREEITEM>(id.GetID()) : nullptr; }
wxTreeItemId to_id(HTREEITEM item) { return wxTreeItemId(reinterpret_cast<void*>(item)); }

// TVI_ROOT and null both name the hidden root that holds the top-level items.
wxTreeItemId resolve(wxTreeCtrl* tree, HTREEITEM item) {
    return (item == nullptr || item == TVI_ROOT) ? tree->GetRootItem() : to_id(item);
}

wxTreeItemId first_child(wxTreeCtrl* tree, const wxTreeItemId& parent) {
    wxTreeItemIdValue cookie;
    return tree->GetFirstChild(parent, cookie);
}

wxTreeItemId first_visible(wxTreeCtrl* tree) {
    // Unscrolled, the top item shows first, laid out or not.
    if (tree->GetScrollPos(wxVERTICAL) == 0) return first_child(tree, tree->GetRootItem());
    return tree->GetFirstVisibleItem();
}

}  // namespace

HTREEITEM CTreeCtrl::InsertItem(const std::u16string& text, HTREEITEM parent, HTREEITEM after) {
    wxTreeCtrl* tree = tree_of(this);
    if (!tree) return nullptr;
    const wxTreeItemId parent_id = resolve(tree, parent);
    const wxString label = to_wx(text);
    auto* param = new tree_item_param(0);
    wxTreeItemId item;
    if (after == TVI_LAST || after == nullptr)
        item = tree->AppendItem(parent_id, label, -1, -1, param);
    else if (after == TVI_FIRST)
        item = tree->PrependItem(parent_id, label, -1, -1, param);
    else
        item = tree->InsertItem(parent_id, to_id(after), label, -1, -1, param);
    return to_handle(item);
}

HTREEITEM CTreeCtrl::InsertItem(UINT mask, const std::u16string& text, int, int, UINT, UINT, LPARAM param,
                                HTREEITEM parent, HTREEITEM after) {
    HTREEITEM item = InsertItem((mask & TVIF_TEXT) ? text : std::u16string(), parent, after);
    if (item && (mask & TVIF_PARAM)) SetItemData(item, static_cast<DWORD_PTR>(param));
    return item;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
    wxTreeCtrl* tree = tree_of(this);
    if (!tree || !item || item == TVI_ROOT) return FALSE;
    tree->SetItemData(to_id(item), new tree_item_param(data));
    return TRUE;
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
    wxTreeCtrl* tree = tree_of(this);
    if (!tree || !item || item == TVI_ROOT) return 0;
    auto* param = dynamic_cast<tree_item_param*>(tree->GetItemData(to_id(item)));
    return param ? param->value : 0;
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM item, UINT code) const {
    wxTreeCtrl* tree = tree_of(this);
    if (!tree) return nullptr;
    const wxTreeItemId root = tree->GetRootItem();
    const bool needs_item = code == TVGN_NEXT || code == TVGN_PARENT;
    if (needs_item && (!item || item == TVI_ROOT)) return nullptr;
    switch (code) {
    case TVGN_ROOT: return to_handle(first_child(tree, root));
    case TVGN_NEXT: return to_handle(tree->GetNextSibling(to_id(item)));
    case TVGN_PARENT: {
        const wxTreeItemId parent = tree->GetItemParent(to_id(item));
        return parent == root ? nullptr : to_handle(parent);
    }
    case TVGN_FIRSTVISIBLE: return to_handle(first_visible(tree));
    case TVGN_CARET: {
        const wxTreeItemId selected = tree->GetSelection();
        return selected == root ? nullptr : to_handle(selected);
    }
    default: return nullptr;
    }
}

BOOL CTreeCtrl::SelectItem(HTREEITEM item) { return Select(item, TVGN_CARET); }

BOOL CTreeCtrl::Select(HTREEITEM item, UINT code) {
    wxTreeCtrl* tree = tree_of(this);
    if (!tree) return FALSE;
    if (code == TVGN_CARET) {
        // The toolkit notifies (wxEVT_TREE_SEL_CHANGED) before returning.
        if (!item || item == TVI_ROOT)
            tree->Unselect();
        else
            tree->SelectItem(to_id(item));
        return TRUE;
    }
    if (code == TVGN_FIRSTVISIBLE) {
        if (!item || item == TVI_ROOT) return FALSE;
        tree->ScrollTo(to_id(item));
        return TRUE;
    }
    return FALSE;
}

LRESULT CTreeCtrl::on_message(UINT message, WPARAM wparam, LPARAM lparam) {
    const auto item = reinterpret_cast<HTREEITEM>(lparam);
    const auto code = static_cast<UINT>(wparam);
    if (message == TVM_GETNEXTITEM) return reinterpret_cast<LRESULT>(GetNextItem(item, code));
    if (message == TVM_SELECTITEM) return Select(item, code);
    return 0;
}
