#pragma once
// Control wrappers with the operations of the Windows common controls.
// They hold no state of their own (everything lives with the native
// control), so a wrapper from GetDlgItem may be cast to its control class.
#include "wnd.h"

#include <string>

class CButton : public CWnd {
public:
    int GetCheck() const;              // BST_CHECKED or BST_UNCHECKED
    void SetCheck(int check);          // sends no BN_CLICKED
};

class CStatic : public CWnd {
public:
    HICON SetIcon(HICON icon);         // icon statics; returns the previous icon
    HICON GetIcon() const;
};

class CEdit : public CWnd {
public:
    // Limits what the administrator can type; text set by the program may be longer.
    void SetLimitText(UINT max_chars);
    void LimitText(int max_chars = 0) { SetLimitText(static_cast<UINT>(max_chars)); }
    UINT GetLimitText() const;
    void SetSel(int start, int end);
    BOOL ShowBalloonTip(const EDITBALLOONTIP* tip);
    BOOL ShowBalloonTip(LPCWSTR title, LPCWSTR text, INT icon = TTI_NONE);
};

// A drop-down list (CBS_DROPDOWNLIST); CBS_SORT inserts in sorted order.
class CComboBox : public CWnd {
public:
    int AddString(const std::u16string& text);          // index, or CB_ERR
    int InsertString(int index, const std::u16string& text);
    int DeleteString(UINT index);                        // remaining count, or CB_ERR
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;                               // CB_ERR when none
    int SetCurSel(int index);                            // index, or CB_ERR (-1 clears)
    int SetItemData(int index, DWORD_PTR data);          // CB_ERR on a bad index
    DWORD_PTR GetItemData(int index) const;              // CB_ERR on a bad index
    // First item after `start_after` (wrapping; -1 = from the top) whose text
    // begins with `text`, ignoring case; selects it. CB_ERR leaves the selection.
    int SelectString(int start_after, const std::u16string& text);
    int FindString(int start_after, const std::u16string& text) const;
    int FindStringExact(int start_after, const std::u16string& text) const;
    void GetLBText(int index, std::u16string& text) const;
    int GetLBTextLen(int index) const;
};

// A tree of items with a hidden root (TVI_ROOT). Selecting an item notifies
// the parent with TVN_SELCHANGEDW before the selecting call returns.
class CTreeCtrl : public CWnd {
public:
    HTREEITEM InsertItem(const std::u16string& text, HTREEITEM parent = TVI_ROOT,
                         HTREEITEM after = TVI_LAST);
    HTREEITEM InsertItem(UINT mask, const std::u16string& text, int image, int selected_image,
                         UINT state, UINT state_mask, LPARAM param, HTREEITEM parent,
                         HTREEITEM after);
    BOOL DeleteItem(HTREEITEM item);
    BOOL DeleteAllItems();
    UINT GetCount() const;
    BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
    DWORD_PTR GetItemData(HTREEITEM item) const;
    std::u16string GetItemText(HTREEITEM item) const;
    BOOL SetItemText(HTREEITEM item, const std::u16string& text);
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) const;  // TVGN_ codes; null when none
    HTREEITEM GetRootItem() const;                            // first top-level item
    HTREEITEM GetChildItem(HTREEITEM item) const;
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
    HTREEITEM GetPrevSiblingItem(HTREEITEM item) const;
    HTREEITEM GetParentItem(HTREEITEM item) const;
    HTREEITEM GetSelectedItem() const;
    HTREEITEM GetFirstVisibleItem() const;
    HTREEITEM GetNextVisibleItem(HTREEITEM item) const;
    BOOL SelectItem(HTREEITEM item);
    BOOL Select(HTREEITEM item, UINT code);                   // TVGN_CARET or TVGN_FIRSTVISIBLE
};

// One sentence with links written as <a id="...">text</a>, numbered from 0
// in text order. A click on a link sends NM_CLICK (an NMLINK) to the parent.
class CLinkCtrl : public CWnd {
public:
    int GetLinkCount() const;
    // FALSE, and nothing changes, for a bad index or a URL of L_MAX_URL_LENGTH
    // (2084) characters or more.
    BOOL SetItemUrl(int link, const std::u16string& url);
    BOOL GetItemUrl(int link, std::u16string& url) const;
    BOOL GetItemID(int link, std::u16string& id) const;
    BOOL SetItem(const LITEM* item);   // LIF_ITEMINDEX with LIF_URL / LIF_ITEMID
    BOOL GetItem(LITEM* item) const;
};
