#pragma once
// The ui_services that shows real windows: the toolkit's message box (drawn
// by wxWidgets, so that error and information icons appear on GTK), its
// file dialog, a rich tooltip as the balloon, and the desktop's browser.
#include "ui_services.h"

class wx_ui_services : public ui_services {
public:
    int message_box(const std::u16string& text, UINT type) override;
    std::optional<std::u16string> choose_file(const file_dialog_request& request) override;
    void show_balloon_tip(const balloon_tip_request& request) override;
    void open_url(const std::u16string& url) override;
};
