#include "wx_ui_services.h"

#include "wx_text.h"
#include "system/text_conversion.h"

#include <wx/app.h>
#include <wx/arrstr.h>
#include <wx/dcclient.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/generic/msgdlgg.h>
#include <wx/log.h>
#include <wx/richtooltip.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <dlfcn.h>
#include <filesystem>

namespace {

// The window a box belongs to: the top-level window holding the focus, else the app's.
wxWindow* owner_window(HWND hint) {
    if (hint) return wxGetTopLevelParent(reinterpret_cast<wxWindow*>(hint));
    if (wxWindow* focus = wxWindow::FindFocus()) return wxGetTopLevelParent(focus);
    return wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
}

// Words of `text` in lines no wider than `width` pixels of `window`'s font:
// the tip does not wrap by itself.
wxString wrapped(wxWindow* window, const wxString& text, int width) {
    wxClientDC dc(window);
    dc.SetFont(window->GetFont());
    wxString result;
    wxString line;
    for (const wxString& word : wxSplit(text, ' ', '\0')) {
        const wxString candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && dc.GetTextExtent(candidate).x > width) {
            result += line + "\n";
            line = word;
        } else {
            line = candidate;
        }
    }
    return result + line;
}

long icon_style(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR: return wxICON_ERROR;
    case MB_ICONQUESTION: return wxICON_QUESTION;
    case MB_ICONEXCLAMATION: return wxICON_WARNING;
    case MB_ICONINFORMATION: return wxICON_INFORMATION;
    default: return wxICON_NONE;
    }
}

}  // namespace

int wx_ui_services::message_box(const std::u16string& text, UINT type) {
    long style = icon_style(type);
    style |= (type & MB_TYPEMASK) == MB_YESNO ? wxYES_NO : wxOK;
    wxString caption = to_wx(message_box_caption());
    if (caption.empty() && wxTheApp) caption = wxTheApp->GetAppDisplayName();
    // The generic box draws the error and information icons GTK leaves out,
    // but cannot show none; without an icon the toolkit's own box serves.
    const bool yes_no = (type & MB_TYPEMASK) == MB_YESNO;
    int answer = wxID_OK;
    if (style & wxICON_NONE) {
        wxMessageDialog box(owner_window(nullptr), to_wx(text), caption, style);
        answer = box.ShowModal();
    } else {
        wxGenericMessageDialog box(owner_window(nullptr), to_wx(text), caption, style);
        // A question has no Cancel button; its Escape and close box must
        // give the cautious answer, No, never the default button's Yes.
        if (yes_no) box.SetEscapeId(wxID_NO);
        answer = box.ShowModal();
    }
    switch (answer) {
    case wxID_YES: return IDYES;
    case wxID_NO: return IDNO;
    case wxID_CANCEL: return yes_no ? IDNO : IDCANCEL;
    default: return yes_no ? IDNO : IDOK;
    }
}

namespace {

// The chosen file as the file system's bytes. wx hands the name out as UTF-8
// text and drops one that is not UTF-8; the GTK file chooser beneath it has
// the bytes, so they are asked of it directly when it is there.
std::filesystem::path chosen_file(const wxFileDialog& dialog) {
    using get_filename = char* (*)(void* chooser);
    using release = void (*)(void* memory);
    static const auto get = reinterpret_cast<get_filename>(::dlsym(RTLD_DEFAULT, "gtk_file_chooser_get_filename"));
    static const auto release_memory = reinterpret_cast<release>(::dlsym(RTLD_DEFAULT, "g_free"));
    if (get && release_memory && dialog.GetHandle()) {
        if (char* name = get(dialog.GetHandle())) {
            std::filesystem::path path(name);
            release_memory(name);
            return path;
        }
    }
    return std::filesystem::path(std::string(dialog.GetPath().fn_str()));
}

}  // namespace

std::optional<std::u16string> wx_ui_services::choose_file(const file_dialog_request& request) {
    long style = 0;
    if (request.open) {
        style = wxFD_OPEN;
        if (request.flags & OFN_FILEMUSTEXIST) style |= wxFD_FILE_MUST_EXIST;
    } else {
        style = wxFD_SAVE;
        if (request.flags & OFN_OVERWRITEPROMPT) style |= wxFD_OVERWRITE_PROMPT;
    }
    const std::u16string wildcard = file_filter_to_wildcard(request.filter);
    // A file name with a folder starts the dialog in that folder, as on Windows.
    const std::filesystem::path initial = sys::to_fs_path(request.file_name);
    const bool has_folder = initial.has_parent_path();
    wxFileDialog dialog(owner_window(request.owner), wxFileSelectorPromptStr,
                        has_folder ? to_wx(sys::from_fs_path(initial.parent_path())) : wxString(),
                        to_wx(has_folder ? sys::from_fs_path(initial.filename()) : request.file_name),
                        wildcard.empty() ? wxString(wxFileSelectorDefaultWildcardStr) : to_wx(wildcard), style);
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    std::filesystem::path path = chosen_file(dialog);
    // A typed name without extension gets the default one, unless that names an existing file.
    std::error_code ec;
    if (!request.default_extension.empty() && path.extension().empty() &&
        !(request.open && std::filesystem::is_regular_file(path, ec)))
        path += sys::to_fs_path(u"." + request.default_extension);
    return sys::from_fs_path(path);
}

void wx_ui_services::show_balloon_tip(const balloon_tip_request& request) {
    auto* edit = reinterpret_cast<wxWindow*>(request.edit);
    if (!edit) return;
    wxRichToolTip tip(to_wx(request.title), wrapped(edit, to_wx(request.text), 320));
    tip.SetIcon(wxICON_NONE);  // the program's tips (TTI_NONE) have no icon
#ifndef __WXMSW__
    // GTK draws the tip's text dark on a dark themed background otherwise.
    tip.SetBackgroundColour(wxColour(255, 255, 225), wxColour(255, 255, 240));
#endif
    tip.SetTimeout(10000, 0);
    // Below the box, tail up at its start, as the Windows balloon of an edit box.
    tip.SetTipKind(wxTipKind_TopLeft);
    // Point the tail at the start of the text, as the Windows balloon does.
    const wxSize size = edit->GetClientSize();
    const wxRect start(0, 0, std::min(size.x, 2 * size.y), size.y);
    tip.ShowFor(edit, &start);
}

void wx_ui_services::open_url(const std::u16string& url) {
    wxLogNull quiet;  // the shell reports nothing either
    wxLaunchDefaultBrowser(to_wx(url));
}
