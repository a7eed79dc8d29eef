#include "page_host.h"

#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/app.h>

#include <chrono>
#include <thread>

page_host::page_host() {
    frame_ = new wxFrame(nullptr, wxID_ANY, "page host", wxPoint(20, 20), wxSize(720, 600));
    // A frame stretches a sole child over its client area; the page sits on
    // a panel instead, so it keeps the rectangle the host gives it.
    surface_ = new wxPanel(frame_);
    frame_->Show();
    frame_->Raise();
    pump(50);
}

page_host::~page_host() {
    frame_->Destroy();
    pump(10);
}

CWnd* page_host::window() const { return CWnd::FromHandle(surface_); }

void page_host::show(CDialog& page) {
    if (!page.Create(page.template_id(), window())) throw std::runtime_error("page not created");
    const wxSize frame_size = page.native()->ConvertDialogToPixels(wxSize(329, 257));
    page.MoveWindow(CRect(8, 8, 8 + frame_size.x, 8 + frame_size.y));
    page.ShowWindow(SW_SHOW);
    frame_->SetClientSize(frame_size.x + 16, frame_size.y + 16);
    frame_->Raise();
    pump(80);
}

void pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
}

bool pump_until(const std::function<bool()>& done, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

wxWindow* native_item(const CWnd& dialog, int id) {
    CWnd* item = dialog.GetDlgItem(id);
    if (!item) throw std::runtime_error("no control " + std::to_string(id));
    return item->native();
}

void click(const CWnd& dialog, int id) {
    const wxRect rect = native_item(dialog, id)->GetScreenRect();
    wxUIActionSimulator simulator;
    simulator.MouseMove(rect.x + std::min(8, rect.width / 2), rect.y + rect.height / 2);
    pump(20);
    simulator.MouseClick();
    pump(60);
}

void press_key_in(const CWnd& dialog, int id, int key_code) {
    native_item(dialog, id)->SetFocus();
    pump(30);
    wxUIActionSimulator simulator;
    simulator.Char(key_code);
    pump(60);
}

bool is_checked(const CWnd& dialog, int id) { return dialog.IsDlgButtonChecked(id) == BST_CHECKED; }

bool is_enabled(const CWnd& dialog, int id) { return dialog.GetDlgItem(id)->IsWindowEnabled() != FALSE; }
