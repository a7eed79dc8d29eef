#pragma once
// Windows names for the types, constants and records that dialog code uses:
// the same source reads as it would against the Windows headers. Only what
// the program and its tests use is here. Strings are UTF-16 (char16_t) where
// Windows has WCHAR. No toolkit is needed here.
#include <cstdint>

// The framework's results and arguments are Windows BOOLs; TRUE and FALSE are
// macros, as in the Windows headers (the toolkit's headers define them too).
using BOOL = int;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
using WORD = std::uint16_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using INT = int;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WCHAR = char16_t;
using LPCWSTR = const char16_t*;

// Opaque handles. HWND carries the native window; HICON an icon of the framework.
struct HWND__;
using HWND = HWND__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HDC__;
using HDC = HDC__*;
struct _TREEITEM;
using HTREEITEM = _TREEITEM*;

constexpr WORD LOWORD(DWORD_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return static_cast<WPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}

// Dialog results and commands.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr UINT ID_HELP = 0xE146;

// Message boxes.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_TYPEMASK = 0xF;
inline constexpr UINT MB_ICONMASK = 0xF0;

// ShowWindow.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;

// Buttons.
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int BST_INDETERMINATE = 2;
inline constexpr UINT BN_CLICKED = 0;

// Combo boxes.
inline constexpr int CB_ERR = -1;

// Messages: those sent with CWnd::SendMessage, and those of message tables.
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_ICONERASEBKGND = 0x0027;
inline constexpr UINT WM_QUERYDRAGICON = 0x0037;
inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT TVM_GETNEXTITEM = 0x110A;
inline constexpr UINT TVM_SELECTITEM = 0x110B;
inline constexpr UINT LM_SETITEM = 0x0702;
inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;

// System metrics.
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
int GetSystemMetrics(int index);

// Standard icons (AfxLoadIcon / icon statics "#32515").
inline constexpr UINT IDI_HAND = 32513;
inline constexpr UINT IDI_QUESTION = 32514;
inline constexpr UINT IDI_WARNING = 32515;
inline constexpr UINT IDI_INFORMATION = 32516;

// Notifications.
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
inline constexpr UINT NM_CLICK = 0u - 2u;
inline constexpr UINT TVN_SELCHANGEDW = 0u - 400u - 51u;

// Tree view.
inline HTREEITEM const TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<INT_PTR>(-0x10000));
inline HTREEITEM const TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<INT_PTR>(-0x0FFFF));
inline HTREEITEM const TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<INT_PTR>(-0x0FFFE));
inline constexpr UINT TVGN_ROOT = 0x0;
inline constexpr UINT TVGN_NEXT = 0x1;
inline constexpr UINT TVGN_PARENT = 0x3;
inline constexpr UINT TVGN_FIRSTVISIBLE = 0x5;
inline constexpr UINT TVGN_CARET = 0x9;
inline constexpr UINT TVIF_TEXT = 0x1;
inline constexpr UINT TVIF_PARAM = 0x4;
inline constexpr UINT TVC_UNKNOWN = 0x0;

struct POINT {
    LONG x;
    LONG y;
};

struct TVITEMW {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    char16_t* pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};

struct NMTREEVIEWW {
    NMHDR hdr;
    UINT action;
    TVITEMW itemOld;
    TVITEMW itemNew;
    POINT ptDrag;
};

// Link control (SysLink).
inline constexpr int MAX_LINKID_TEXT = 48;
inline constexpr int L_MAX_URL_LENGTH = 2048 + 32 + 4;  // 2084, terminator included
inline constexpr UINT LIF_ITEMINDEX = 0x1;
inline constexpr UINT LIF_ITEMID = 0x4;
inline constexpr UINT LIF_URL = 0x8;

struct LITEM {
    UINT mask;
    int iLink;
    UINT state;
    UINT stateMask;
    WCHAR szID[MAX_LINKID_TEXT];
    WCHAR szUrl[L_MAX_URL_LENGTH];
};

struct NMLINK {
    NMHDR hdr;
    LITEM item;
};

// Edit balloon tips.
inline constexpr INT TTI_NONE = 0;

struct EDITBALLOONTIP {
    DWORD cbStruct;
    LPCWSTR pszTitle;
    LPCWSTR pszText;
    INT ttiIcon;
};

// Common controls initialisation.
inline constexpr DWORD ICC_WIN95_CLASSES = 0xFF;
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);

// Open-file dialog flags.
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
inline constexpr DWORD OFN_HIDEREADONLY = 0x4;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;

struct CPoint : POINT {
    CPoint() : POINT{0, 0} {}
    CPoint(int x_, int y_) : POINT{x_, y_} {}
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct CRect : RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CPoint TopLeft() const { return {left, top}; }
    void OffsetRect(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};
