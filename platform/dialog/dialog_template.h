#pragma once
// Dialog templates held as data, in the shape of Windows dialog resources:
// controls in template (tab) order, rectangles in dialog units, Windows
// style bits. Windows are built from them by the dialog framework.
#include <cstdint>
#include <string>
#include <vector>

// Window classes as Windows templates name them.
inline constexpr const char16_t* WC_BUTTON = u"Button";
inline constexpr const char16_t* WC_STATIC = u"Static";
inline constexpr const char16_t* WC_EDIT = u"Edit";
inline constexpr const char16_t* WC_COMBOBOX = u"ComboBox";
inline constexpr const char16_t* WC_TREEVIEW = u"SysTreeView32";
inline constexpr const char16_t* WC_LINK = u"SysLink";

// Window styles.
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_BORDER = 0x00800000;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000;
inline constexpr std::uint32_t WS_HSCROLL = 0x00100000;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_GROUP = 0x00020000;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000;
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
inline constexpr std::uint32_t WS_EX_CONTROLPARENT = 0x00010000;
// Dialog styles.
inline constexpr std::uint32_t DS_SETFONT = 0x40;
inline constexpr std::uint32_t DS_MODALFRAME = 0x80;
inline constexpr std::uint32_t DS_FIXEDSYS = 0x0008;
inline constexpr std::uint32_t DS_CONTROL = 0x0400;
// Button styles.
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3;
inline constexpr std::uint32_t BS_GROUPBOX = 0x7;
// Static styles.
inline constexpr std::uint32_t SS_LEFT = 0x0;
inline constexpr std::uint32_t SS_ICON = 0x3;
inline constexpr std::uint32_t SS_BLACKRECT = 0x4;
inline constexpr std::uint32_t SS_CENTERIMAGE = 0x200;
// Edit styles.
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x80;
// Combo box styles.
inline constexpr std::uint32_t CBS_DROPDOWNLIST = 0x3;
inline constexpr std::uint32_t CBS_SORT = 0x100;

struct control_template {
    int id;                     // -1 for controls without an identifier
    std::u16string class_name;  // one of the WC_ names above
    std::u16string caption;     // for SS_ICON statics: "#<icon resource id>"
    int x, y, cx, cy;           // dialog units
    std::uint32_t style;        // full style, WS_CHILD | WS_VISIBLE included where set
    std::uint32_t ex_style = 0;
};

struct dialog_template {
    int id;
    std::u16string caption;
    int x, y, cx, cy;  // dialog units
    std::uint32_t style;
    std::uint32_t ex_style;
    std::u16string font_name;  // "MS Shell Dlg"
    int font_size;             // points
    std::vector<control_template> controls;
};
