#pragma once
// Templates of a sample main window (500) and a sample page (501) that hold
// every control class the framework builds, served by a test resource source.
#include "dialog/resource_source.h"

#include <map>

inline constexpr int sample_window_id = 500;
inline constexpr int sample_page_id = 501;
inline constexpr int sample_string_id = 1070;

class sample_resources : public resource_source {
public:
    sample_resources();
    const dialog_template* find_dialog(int id) const override;
    std::optional<std::u16string> find_string(int id) const override;
    std::vector<icon_image> find_icon(int id) const override;

    std::map<int, dialog_template> dialogs;
    std::map<int, std::u16string> strings;
};
