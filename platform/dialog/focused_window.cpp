#include "focused_window.h"

#include <wx/toplevel.h>
#include <wx/window.h>

#include <dlfcn.h>

namespace {

// GTK's two calls needed here, looked up in the toolkit already loaded, so
// that building needs no GTK headers. Null on other toolkits.
using get_focus_call = void* (*)(void* gtk_window);
using is_ancestor_call = int (*)(void* widget, void* ancestor);

struct gtk_calls {
    get_focus_call get_focus = reinterpret_cast<get_focus_call>(dlsym(RTLD_DEFAULT, "gtk_window_get_focus"));
    is_ancestor_call is_ancestor = reinterpret_cast<is_ancestor_call>(dlsym(RTLD_DEFAULT, "gtk_widget_is_ancestor"));
    bool present() const { return get_focus && is_ancestor; }
};

// The innermost window under `window` whose native widget is, or holds, `widget`.
wxWindow* window_holding(wxWindow* window, void* widget, const gtk_calls& gtk) {
    void* own = window->GetHandle();
    if (!own || (own != widget && !gtk.is_ancestor(widget, own))) return nullptr;
    for (wxWindow* child : window->GetChildren())
        if (!child->IsTopLevel())
            if (wxWindow* inner = window_holding(child, widget, gtk)) return inner;
    return window;
}

}  // namespace

wxWindow* focused_window() {
    // A window with children may be named for a focus that is inside one.
    wxWindow* focus = wxWindow::FindFocus();
    if (focus && focus->GetChildren().empty()) return focus;
    static const gtk_calls gtk;
    if (!gtk.present()) return focus;
    for (wxWindow* top : wxTopLevelWindows) {
        auto* window = dynamic_cast<wxTopLevelWindow*>(top);
        if (!window || !window->IsActive()) continue;
        if (void* widget = gtk.get_focus(window->GetHandle())) {
            wxWindow* holder = window_holding(window, widget, gtk);
            if (holder && holder != window) return holder;
        }
    }
    return focus;
}
