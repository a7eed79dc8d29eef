#pragma once
// A ui_services that shows nothing: it records every message box, file
// dialog, balloon tip and URL, and answers from a script. Tests install it
// with scoped_ui_services.
#include "ui_services.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class recording_ui_services : public ui_services {
public:
    struct message_box_shown {
        std::u16string text;
        UINT type;
    };

    // Every call, in order.
    std::vector<message_box_shown> message_boxes;
    std::vector<file_dialog_request> file_dialogs;
    std::vector<balloon_tip_request> balloon_tips;
    std::vector<std::u16string> opened_urls;

    // Script: answers are taken from the front. An empty queue answers IDOK
    // (message boxes) and "cancelled" (file dialogs).
    std::deque<int> message_box_answers;
    std::deque<std::optional<std::u16string>> file_dialog_answers;

    int message_box(const std::u16string& text, UINT type) override;
    std::optional<std::u16string> choose_file(const file_dialog_request& request) override;
    void show_balloon_tip(const balloon_tip_request& request) override;
    void open_url(const std::u16string& url) override;

    void clear();
};

// Installs a ui_services for the life of the object and restores the previous one.
class scoped_ui_services {
public:
    explicit scoped_ui_services(ui_services& services) : previous_(set_ui_services(&services)) {}
    ~scoped_ui_services() { set_ui_services(previous_); }
    scoped_ui_services(const scoped_ui_services&) = delete;
    scoped_ui_services& operator=(const scoped_ui_services&) = delete;

private:
    ui_services* previous_;
};
