#include "resource_access.h"

namespace {

// What windows load from before the program registers its resources.
class empty_resource_source : public resource_source {
public:
    const dialog_template* find_dialog(int) const override { return nullptr; }
    std::optional<std::u16string> find_string(int) const override { return std::nullopt; }
    std::vector<icon_image> find_icon(int) const override { return {}; }
};

const resource_source& no_resources() {
    static const empty_resource_source none;
    return none;
}
const resource_source* program_source = nullptr;
const resource_source* replacing_source = nullptr;

}  // namespace

const resource_source& current_resource_source() {
    if (replacing_source) return *replacing_source;
    if (program_source) return *program_source;
    return no_resources();
}

void set_resource_source(const resource_source* source) { replacing_source = source; }
void set_program_resource_source(const resource_source* source) { program_source = source; }

void AfxSetResourceHandle(const resource_source* source) { set_resource_source(source); }
BOOL LoadString(UINT id, std::u16string& text) {
    auto found = current_resource_source().find_string(static_cast<int>(id));
    if (!found) {
        text.clear();
        return FALSE;
    }
    text = std::move(*found);
    return TRUE;
}
