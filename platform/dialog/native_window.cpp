#include "native_window.h"

#include "resource_access.h"
#include "wnd.h"
#include "system/text_conversion.h"

#include <wx/window.h>

#include <unordered_map>

namespace {
// Never destroyed: windows may outlive static destruction at exit, and
// their records must stay reachable until then.
std::unordered_map<wxWindow*, std::unique_ptr<window_record>>& records() {
    static auto* all = new std::unordered_map<wxWindow*, std::unique_ptr<window_record>>;
    return *all;
}
}  // namespace

// Friend of CWnd: clears wrappers when their native window goes away.
struct window_registry {
    static void forget(wxWindow* window) {
        auto found = records().find(window);
        if (found == records().end()) return;
        std::unique_ptr<window_record> record = std::move(found->second);
        records().erase(found);
        if (record->permanent) {
            record->permanent->m_hWnd = nullptr;
            record->permanent->owns_native_ = false;
        }
        if (record->temporary) record->temporary->m_hWnd = nullptr;
    }
};

window_record* find_record(wxWindow* window) {
    auto found = records().find(window);
    return found == records().end() ? nullptr : found->second.get();
}

window_record& record_of(wxWindow* window) {
    if (window_record* existing = find_record(window)) return *existing;
    auto& slot = records()[window];
    slot = std::make_unique<window_record>();
    slot->id = window->GetId();
    window->Bind(wxEVT_DESTROY, [window](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == window) window_registry::forget(window);
        event.Skip();
    });
    return *slot;
}

CWnd* notification_target(wxWindow* control) {
    wxWindow* parent = control ? control->GetParent() : nullptr;
    window_record* record = parent ? find_record(parent) : nullptr;
    return record ? record->permanent : nullptr;
}

LRESULT notify_parent(wxWindow* control, UINT message, UINT code, NMHDR* notify) {
    CWnd* target = notification_target(control);
    if (!target) return 0;
    const window_record* record = find_record(control);
    const UINT id = static_cast<UINT>(record ? record->id : control->GetId());
    LRESULT result = 0;
    target->OnCmdMsg(message, code, id, notify, &result);
    return result;
}

wxString to_wx(std::u16string_view text) { return wxString::FromUTF8(sys::utf16_to_utf8(text)); }

std::u16string from_wx(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return sys::utf8_to_utf16(std::string_view(utf8.data(), utf8.length()));
}

wxRect dialog_units_to_pixels(wxWindow* dialog_window, int x, int y, int cx, int cy) {
    const wxPoint top_left = dialog_window->ConvertDialogToPixels(wxPoint(x, y));
    const wxPoint bottom_right = dialog_window->ConvertDialogToPixels(wxPoint(x + cx, y + cy));
    return wxRect(top_left, wxSize(bottom_right.x - top_left.x, bottom_right.y - top_left.y));
}
