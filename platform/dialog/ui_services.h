#pragma once
// Everything the program shows outside its own windows goes through one
// replaceable object: message boxes, the open-file dialog, balloon tips on
// edit boxes, and handing a URL to the desktop. The toolkit installs the
// real one at start-up; tests install a recording_ui_services.
#include "windows_types.h"

#include <optional>
#include <string>

struct file_dialog_request {
    bool open = true;                  // open (true) or save-as dialog
    std::u16string default_extension;  // without the dot, may be empty
    std::u16string file_name;          // initial file name, may be empty
    std::u16string filter;             // Windows form: "Text|*.txt|All|*.*|"
    DWORD flags = 0;                   // OFN_ flags
    HWND owner = nullptr;
};

struct balloon_tip_request {
    HWND edit = nullptr;  // the edit box the tip points at
    int control_id = 0;
    std::u16string title;
    std::u16string text;
    int icon = TTI_NONE;  // TTI_ value
};

class ui_services {
public:
    virtual ~ui_services() = default;
    // Modal message box with a Windows MB_ style; returns IDOK, IDCANCEL, IDYES, IDNO.
    virtual int message_box(const std::u16string& text, UINT type) = 0;
    // The chosen path, or nothing when the administrator cancels.
    virtual std::optional<std::u16string> choose_file(const file_dialog_request& request) = 0;
    virtual void show_balloon_tip(const balloon_tip_request& request) = 0;
    // The shell's "open" verb: a URL goes to the desktop's browser.
    virtual void open_url(const std::u16string& url) = 0;
};

// The object in use. Never null: without an installed one, a plain fallback
// writes message boxes and tips to standard error and cancels file dialogs.
ui_services& current_ui_services();
// Installs `services` (not owned); null goes back to the fallback. Returns the previous one.
ui_services* set_ui_services(ui_services* services);

// The caption of message boxes: the application's name once it is known.
void set_message_box_caption(const std::u16string& caption);
const std::u16string& message_box_caption();

int AfxMessageBox(const std::u16string& text, UINT type = MB_OK);

// The shell's "open" on a document or URL. Returns a value above 32 on success.
INT_PTR ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int show);

// The wildcard string of an open-file dialog: a Windows filter without its
// trailing separators ("MSI Files (*.msi)|*.msi|" -> "MSI Files (*.msi)|*.msi").
std::u16string file_filter_to_wildcard(const std::u16string& filter);
