#include "resources/translated_resource_source.h"

#include "resources/dialog_templates.h"
#include "resources/resource.h"

translated_resource_source::translated_resource_source(const resource_texts& texts, std::vector<icon_image> app_icon)
    : dialogs_(build_dialog_templates(texts)),
      strings_{{IDS_IMANAGE_PATH_EMPTY, texts.imanage_path_empty}, {IDS_VERSION_FORMAT, texts.version_format}},
      app_icon_(std::move(app_icon)) {}

const dialog_template* translated_resource_source::find_dialog(int id) const {
    for (const dialog_template& dialog : dialogs_)
        if (dialog.id == id) return &dialog;
    return nullptr;
}

std::optional<std::u16string> translated_resource_source::find_string(int id) const {
    auto found = strings_.find(id);
    if (found == strings_.end()) return std::nullopt;
    return found->second;
}

std::vector<icon_image> translated_resource_source::find_icon(int id) const {
    if (id != IDR_MAINFRAME) return {};
    return app_icon_;
}
