#pragma once
// A top-level window that holds one settings page at the size of the main
// window's page frame, as the page host places it.
#include "dialog/afxwin.h"
#include "support/gui_driver.h"

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

// The pages' tests drive them with the shared GUI driver.
using namespace gui;
