#include "recording_ui_services.h"

int recording_ui_services::message_box(const std::u16string& text, UINT type) {
    message_boxes.push_back({text, type});
    if (message_box_answers.empty()) return IDOK;
    const int answer = message_box_answers.front();
    message_box_answers.pop_front();
    return answer;
}

std::optional<std::u16string> recording_ui_services::choose_file(const file_dialog_request& request) {
    file_dialogs.push_back(request);
    if (file_dialog_answers.empty()) return std::nullopt;
    auto answer = file_dialog_answers.front();
    file_dialog_answers.pop_front();
    return answer;
}

void recording_ui_services::show_balloon_tip(const balloon_tip_request& request) { balloon_tips.push_back(request); }

void recording_ui_services::open_url(const std::u16string& url) { opened_urls.push_back(url); }

void recording_ui_services::clear() {
    message_boxes.clear();
    file_dialogs.clear();
    balloon_tips.clear();
    opened_urls.clear();
    message_box_answers.clear();
    file_dialog_answers.clear();
}
