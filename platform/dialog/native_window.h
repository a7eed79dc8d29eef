#pragma once
// Inside the framework: what it knows about each native window it created
// or wrapped, and the conversions between UTF-16 and the toolkit's strings.
#include "dialog_template.h"
#include "windows_types.h"
#include "wnd.h"

#include <wx/gdicmn.h>
#include <wx/string.h>

#include <memory>
#include <string>

class wxWindow;

struct window_record {
    int id = -1;                     // control id from the template, -1 for none
    std::uint32_t style = 0;         // template style
    std::u16string class_name;       // WC_ name, empty for dialogs
    std::u16string text;             // caption as given (statics wrap their own copy)
    UINT text_limit = 0;             // edit boxes: 0 = no limit
    std::u16string accepted_text;    // edit boxes: last text within the limit
    HICON big_icon = nullptr;        // top-level windows
    HICON small_icon = nullptr;
    CWnd* permanent = nullptr;       // bound wrapper (dialog or DDX_Control)
    std::unique_ptr<CWnd> temporary; // wrapper handed out by FromHandle
};

// The record of `window`, created (and tied to the window's life) on first use.
window_record& record_of(wxWindow* window);
// Null when the window was never seen.
window_record* find_record(wxWindow* window);

// The dialog that created `window`'s parent (where notifications go), or null.
CWnd* notification_target(wxWindow* control);
// Sends a WM_COMMAND / WM_NOTIFY for `control` to its dialog's message table.
LRESULT notify_parent(wxWindow* control, UINT message, UINT code, NMHDR* notify = nullptr);

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

// Thrown by CDataExchange::Fail, caught by UpdateData.
struct data_exchange_failure {};

wxString to_wx(std::u16string_view text);
std::u16string from_wx(const wxString& text);

// Template rectangle in pixels of `dialog_window`'s dialog units. Each edge
// is converted on its own, so adjacent rectangles stay adjacent.
wxRect dialog_units_to_pixels(wxWindow* dialog_window, int x, int y, int cx, int cy);
