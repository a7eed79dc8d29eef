#include "ui_services.h"

#include "resource_access.h"
#include "system/text_conversion.h"

#include <cstdio>

namespace {

// Used until the toolkit (or a test) installs its own: the program can still
// report what it would have shown.
class console_ui_services : public ui_services {
public:
    int message_box(const std::u16string& text, UINT type) override {
        std::fprintf(stderr, "[message box %u] %s\n", type, sys::utf16_to_utf8(text).c_str());
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    }
    std::optional<std::u16string> choose_file(const file_dialog_request&) override { return std::nullopt; }
    void show_balloon_tip(const balloon_tip_request& request) override {
        std::fprintf(stderr, "[balloon tip on %d] %s\n", request.control_id, sys::utf16_to_utf8(request.text).c_str());
    }
    void open_url(const std::u16string& url) override {
        std::fprintf(stderr, "[open] %s\n", sys::utf16_to_utf8(url).c_str());
    }
};

// Function-local objects: the application object may set the caption
// during static initialisation, before this file's globals exist.
console_ui_services& fallback_services() {
    static console_ui_services services;
    return services;
}
std::u16string& caption_text() {
    static std::u16string caption;
    return caption;
}
ui_services* installed_services = nullptr;

}  // namespace

ui_services& current_ui_services() { return installed_services ? *installed_services : fallback_services(); }

ui_services* set_ui_services(ui_services* services) {
    ui_services* previous = installed_services;
    installed_services = services;
    return previous;
}

void set_message_box_caption(const std::u16string& caption) { caption_text() = caption; }
const std::u16string& message_box_caption() { return caption_text(); }

int AfxMessageBox(const std::u16string& text, UINT type) { return current_ui_services().message_box(text, type); }

INT_PTR ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int) {
    constexpr INT_PTR se_err_noassoc = 31;
    constexpr INT_PTR ok = 42;
    const std::u16string verb_text = verb ? verb : u"open";
    if (verb_text != u"open") return se_err_noassoc;
    current_ui_services().open_url(file ? file : u"");
    return ok;
}

std::u16string file_filter_to_wildcard(const std::u16string& filter) {
    std::u16string wildcard = filter;
    while (!wildcard.empty() && wildcard.back() == u'|') wildcard.pop_back();
    return wildcard;
}
