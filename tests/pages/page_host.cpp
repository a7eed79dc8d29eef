#include "page_host.h"

#include <wx/frame.h>
#include <wx/panel.h>

#include <stdexcept>

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
