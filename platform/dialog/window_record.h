#pragma once
// What the framework knows about each native window it created or wrapped:
// the template's id, style and class, the text as given, and the wrappers.
#include "windows_types.h"

#include <memory>
#include <string>

class CWnd;
class wxWindow;

struct window_record {
    int id = -1;                   // control id from the template, -1 for none
    std::uint32_t style = 0;       // template style
    std::u16string class_name;     // WC_ name, empty for dialogs
    std::u16string text;           // caption as given (statics wrap their own copy)
    UINT text_limit = 0;           // edit boxes: 0 = no limit
    std::u16string accepted_text;  // edit boxes: last text within the limit
    HICON big_icon = nullptr;      // top-level windows
    HICON small_icon = nullptr;
    CWnd* permanent = nullptr;        // bound wrapper (dialog or DDX_Control)
    std::unique_ptr<CWnd> temporary;  // wrapper handed out by FromHandle
    // Makes the temporary wrapper: the control's own class, set by whoever
    // created the control; null gives a plain CWnd.
    std::unique_ptr<CWnd> (*make_wrapper)() = nullptr;
};

// The record of `window`, created (and tied to the window's life) on first use.
window_record& record_of(wxWindow* window);
// Null when the window was never seen.
window_record* find_record(wxWindow* window);
