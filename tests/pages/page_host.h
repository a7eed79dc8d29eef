#pragma once
// A top-level window that holds one settings page at the size of the main
// window's page frame, as the page host places it, plus the means to drive
// it: real mouse clicks and key presses (XTEST under Xvfb) and event pumping.
#include "dialog/afxwin.h"

#include <functional>

class wxFrame;
class wxWindow;

class page_host {
public:
    page_host();
    ~page_host();
    page_host(const page_host&) = delete;
    page_host& operator=(const page_host&) = delete;

    // Creates `page` from its template inside the host, sized to the page
    // frame (329 x 257 dialog units), and shows it.
    void show(CDialog& page);

    CWnd* window() const;
    wxFrame* frame() const { return frame_; }

private:
    wxFrame* frame_;
    wxWindow* surface_;
};

// Processes pending events for about `ms` milliseconds.
void pump(int ms = 30);
// Processes events until `done` holds or `timeout_ms` passes; returns `done()`.
bool pump_until(const std::function<bool()>& done, int timeout_ms = 2000);

// The native control `id` of `dialog`.
wxWindow* native_item(const CWnd& dialog, int id);
// A real left click near the start of the control (where a check box's box is).
void click(const CWnd& dialog, int id);
// A real key press while `id` of `dialog` holds the focus.
void press_key_in(const CWnd& dialog, int id, int key_code);
bool is_checked(const CWnd& dialog, int id);
bool is_enabled(const CWnd& dialog, int id);
