#include "window_record.h"

#include "wnd.h"

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
