#include "support/gui_driver.h"

#include "dialog/rich_label.h"
#include "dialog/wx_text.h"

#include <wx/app.h>
#include <wx/choice.h>
#include <wx/event.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>

namespace gui {

void pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        wxYield();
        wxMilliSleep(5);
    } while (std::chrono::steady_clock::now() < end);
}

void pump_events(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
    }
}

bool pump_until(const std::function<bool()>& done, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        wxYield();
        wxMilliSleep(5);
    }
    return true;
}

wxWindow* native_item(const CWnd& dialog, int id) {
    CWnd* item = dialog.GetDlgItem(id);
    return item ? item->native() : nullptr;
}

void click_at(const CWnd& dialog, int id, int x, int y) {
    wxWindow* control = native_item(dialog, id);
    if (!control) throw std::runtime_error("no control " + std::to_string(id));
    control->GetParent()->Raise();
    pump(50);
    const wxRect rect = control->GetScreenRect();
    wxUIActionSimulator mouse;
    mouse.MouseMove(rect.x + x, rect.y + y);
    pump(30);
    mouse.MouseClick();
    pump(100);
}

void click(const CWnd& dialog, int id) {
    const wxWindow* control = native_item(dialog, id);
    if (!control) throw std::runtime_error("no control " + std::to_string(id));
    const wxSize size = control->GetSize();
    click_at(dialog, id, std::min(8, size.x / 2), size.y / 2);
}

void press_key_in(const CWnd& dialog, int id, int key_code) {
    wxWindow* control = native_item(dialog, id);
    if (!control) throw std::runtime_error("no control " + std::to_string(id));
    control->SetFocus();
    pump(50);
    wxUIActionSimulator keyboard;
    keyboard.Char(key_code);
    pump(100);
}

void send_char_hook(wxWindow* focus, int key_code) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = key_code;
    event.SetEventObject(focus);
    focus->HandleWindowEvent(event);
    pump_events(2);
}

bool is_checked(const CWnd& dialog, int id) {
    CWnd* button = dialog.GetDlgItem(id);
    return button && button->SendMessage(BM_GETCHECK) == BST_CHECKED;
}

bool is_enabled(const CWnd& dialog, int id) {
    wxWindow* control = native_item(dialog, id);
    return control && control->IsEnabled();
}

bool is_this_enabled(const CWnd& dialog, int id) {
    wxWindow* control = native_item(dialog, id);
    return control && control->IsThisEnabled();
}

bool is_visible(const CWnd& dialog, int id) {
    wxWindow* control = native_item(dialog, id);
    return control && control->IsShownOnScreen();
}

bool is_this_enabled(const CWnd& window) { return window.native() && window.native()->IsThisEnabled(); }

bool is_visible(const CWnd& window) { return window.native() && window.native()->IsShownOnScreen(); }

std::u16string tree_item_text(const CWnd& tree, HTREEITEM item) {
    auto* native = dynamic_cast<wxTreeCtrl*>(tree.native());
    return native && item ? from_wx(native->GetItemText(wxTreeItemId(item))) : std::u16string();
}

std::u16string list_text(const CWnd& list, int index) {
    auto* native = dynamic_cast<wxChoice*>(list.native());
    if (!native || index < 0 || static_cast<unsigned>(index) >= native->GetCount()) return {};
    return from_wx(native->GetString(static_cast<unsigned>(index)));
}

std::u16string link_url(const CWnd& link, int index) {
    auto* native = dynamic_cast<rich_label*>(link.native());
    const std::u16string* url = native ? native->link_url(index) : nullptr;
    return url ? *url : std::u16string();
}

bool save_screenshot(const CWnd& window, const std::filesystem::path& png, int margin) {
    pump(400);
    const wxRect rect = window.native()->GetScreenRect().Inflate(margin);
    const std::string command = "import -window root -crop " + std::to_string(rect.width) + "x" +
                                std::to_string(rect.height) + "+" + std::to_string(std::max(0, rect.x)) + "+" +
                                std::to_string(std::max(0, rect.y)) + " +repage '" + png.string() + "'";
    return std::system(command.c_str()) == 0;
}

}  // namespace gui
