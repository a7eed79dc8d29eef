#include "window_fixture.h"

void window_test::SetUp() {
    AfxSetResourceHandle(&resources);
    services_scope = std::make_unique<scoped_ui_services>(shown);
}

void window_test::TearDown() {
    page.reset();
    window.reset();
    services_scope.reset();
    AfxSetResourceHandle(nullptr);
    pump_events();
}

void window_test::open() {
    window = std::make_unique<sample_window>();
    ASSERT_TRUE(window->Create(sample_window_id, nullptr));
    page = std::make_unique<sample_page>(window.get());
    ASSERT_TRUE(page->Create(sample_page_id, window.get()));
    CRect frame;
    window->frame.GetWindowRect(&frame);
    window->ScreenToClient(&frame);
    page->MoveWindow(frame);
    page->ShowWindow(SW_SHOW);
    window->ShowWindow(SW_SHOW);
    pump_events();
}
