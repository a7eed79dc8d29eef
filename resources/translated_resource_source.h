#pragma once
// The resources of one language: the dialog templates built from its texts,
// its string-table entries and the application icon.
#include "dialog/resource_source.h"
#include "resources/resource_texts.h"

#include <map>
#include <vector>

class translated_resource_source final : public resource_source {
public:
    translated_resource_source(const resource_texts& texts, std::vector<icon_image> app_icon);

    const dialog_template* find_dialog(int id) const override;
    std::optional<std::u16string> find_string(int id) const override;
    std::vector<icon_image> find_icon(int id) const override;

private:
    std::vector<dialog_template> dialogs_;
    std::map<int, std::u16string> strings_;
    std::vector<icon_image> app_icon_;
};
