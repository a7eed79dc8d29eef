#pragma once
// Control wrappers with the operations of the Windows common controls.
// They hold no state of their own (everything lives with the native
// control), so a wrapper from GetDlgItem may be cast to its control class.
// Each answers its own messages (SendMessage) and shows its own text.
#include "wnd.h"

#include <string>

class CButton : public CWnd {
public:
    int GetCheck() const;      // BST_CHECKED or BST_UNCHECKED
    void SetCheck(int check);  // sends no BN_CLICKED

protected:
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam) override;  // BM_GETCHECK, BM_SETCHECK
};

class CStatic : public CWnd {
protected:
    // A text static keeps the caption as given; the toolkit's label is wrapped.
    void show_text(const std::u16string& text) override;
    std::u16string read_text() const override;
};

class CEdit : public CWnd {
public:
    // Limits what the administrator can type; text set by the program may be longer.
    void SetLimitText(UINT max_chars);
    void SetSel(int start, int end);
    BOOL ShowBalloonTip(const EDITBALLOONTIP* tip);

protected:
    void show_text(const std::u16string& text) override;
    std::u16string read_text() const override;
};

// A drop-down list (CBS_DROPDOWNLIST); CBS_SORT inserts in sorted order.
class CComboBox : public CWnd {
public:
    int AddString(const std::u16string& text);  // index, or CB_ERR
    int GetCount() const;
    int GetCurSel() const;                       // CB_ERR when none
    int SetCurSel(int index);                    // index, or CB_ERR (-1 clears)
    int SetItemData(int index, DWORD_PTR data);  // CB_ERR on a bad index
    DWORD_PTR GetItemData(int index) const;      // CB_ERR on a bad index
    // First item after `start_after` (wrapping; -1 = from the top) whose text
    // begins with `text`, ignoring case; selects it. CB_ERR leaves the selection.
    int SelectString(int start_after, const std::u16string& text);
};

// A tree of items with a hidden root (TVI_ROOT). Selecting an item notifies
// the parent with TVN_SELCHANGEDW before the selecting call returns.
class CTreeCtrl : public CWnd {
public:
    HTREEITEM InsertItem(const std::u16string& text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
    HTREEITEM InsertItem(UINT mask, const std::u16string& text, int image, int selected_image, UINT state,
                         UINT state_mask, LPARAM param, HTREEITEM parent, HTREEITEM after);
    BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
    DWORD_PTR GetItemData(HTREEITEM item) const;
    // TVGN_ROOT, TVGN_NEXT, TVGN_PARENT, TVGN_FIRSTVISIBLE or TVGN_CARET; null when none.
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) const;
    BOOL SelectItem(HTREEITEM item);
    BOOL Select(HTREEITEM item, UINT code);  // TVGN_CARET or TVGN_FIRSTVISIBLE

protected:
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam) override;  // TVM_GETNEXTITEM, TVM_SELECTITEM
};

// One sentence with links written as <a id="...">text</a>, numbered from 0
// in text order. A click on a link sends NM_CLICK (an NMLINK) to the parent.
class CLinkCtrl : public CWnd {
public:
    // FALSE, and nothing changes, for a bad index or a URL of L_MAX_URL_LENGTH
    // (2084) characters or more.
    BOOL SetItemUrl(int link, const std::u16string& url);
    BOOL SetItem(const LITEM* item);  // LIF_ITEMINDEX with LIF_URL / LIF_ITEMID

protected:
    LRESULT on_message(UINT message, WPARAM wparam, LPARAM lparam) override;  // LM_SETITEM
    void show_text(const std::u16string& text) override;
    std::u16string read_text() const override;
};

// Runs `use` on `window` seen as a `Control`: the object itself when it is
// one, else a short-lived view of the same native control.
template <class Control, class Use>
auto as_control(CWnd& window, Use use) {
    if (auto* typed = dynamic_cast<Control*>(&window)) return use(*typed);
    Control view;
    view.m_hWnd = window.m_hWnd;
    struct release {
        Control& v;
        ~release() { v.m_hWnd = nullptr; }
    } guard{view};
    return use(view);
}
