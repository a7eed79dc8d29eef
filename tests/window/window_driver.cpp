#include "window_driver.h"

#include "resources/resource.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/window.h>

#include <chrono>

namespace window_test {

void pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        wxYield();
        wxMilliSleep(5);
    } while (std::chrono::steady_clock::now() < end);
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
    ASSERT_NE(control, nullptr) << "control " << id;
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
    ASSERT_NE(control, nullptr) << "control " << id;
    const wxSize size = control->GetSize();
    click_at(dialog, id, std::min(8, size.x / 2), size.y / 2);
}

void press_key_in(const CWnd& dialog, int id, int key_code) {
    wxWindow* control = native_item(dialog, id);
    ASSERT_NE(control, nullptr) << "control " << id;
    control->SetFocus();
    pump(50);
    wxUIActionSimulator keyboard;
    keyboard.Char(key_code);
    pump(100);
}

bool is_checked(const CWnd& dialog, int id) {
    auto* box = dynamic_cast<wxCheckBox*>(native_item(dialog, id));
    return box && box->GetValue();
}

bool is_enabled(const CWnd& dialog, int id) {
    wxWindow* control = native_item(dialog, id);
    return control && control->IsEnabled();
}

bool is_visible(const CWnd& dialog, int id) {
    wxWindow* control = native_item(dialog, id);
    return control && control->IsShownOnScreen();
}

shown_window::shown_window() {
    dialog.Create(IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG, nullptr);
    dialog.ShowWindow(SW_SHOW);
    pump(150);
}

shown_window::~shown_window() {
    dialog.DestroyWindow();
    pump(30);
}

void shown_window::browse(const std::filesystem::path& path) {
    ui.file_dialog_answers.push_back(sys::utf8_to_utf16(path.string()));
    click(dialog, IDC_BROWSE);
}

void shown_window::generate() { click(dialog, IDC_GENERATE); }

void shown_window::tick_consent() {
    if (!is_checked(dialog, IDC_CONSENT_CHECK)) click(dialog, IDC_CONSENT_CHECK);
}

void shown_window::select_page(CWnd* page) {
    for (HTREEITEM item = dialog.tree.GetRootItem(); item; item = dialog.tree.GetNextSiblingItem(item))
        if (reinterpret_cast<CWnd*>(dialog.tree.GetItemData(item)) == page) dialog.tree.SelectItem(item);
    pump(50);
}

CWnd* shown_window::visible_page() const {
    CWnd* shown = nullptr;
    for (CWnd* page : dialog.pages)
        if (page->IsWindowVisible()) {
            if (shown) return nullptr;  // more than one
            shown = page;
        }
    return shown;
}

std::u16string shown_window::last_message() const {
    return ui.message_boxes.empty() ? std::u16string() : ui.message_boxes.back().text;
}

}  // namespace window_test
