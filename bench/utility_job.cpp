#include "utility_job.h"

#include "dialog/ui_services.h"
#include "installer/installer_package.h"
#include "system/text_conversion.h"

#include <memory>
#include <stdexcept>

namespace bench {

namespace {

// Message boxes are remembered, never shown.
class remembered_messages : public ui_services {
public:
    int message_box(const std::u16string& text, UINT) override {
        last = sys::utf16_to_utf8(text);
        return IDOK;
    }
    std::optional<std::u16string> choose_file(const file_dialog_request&) override { return std::nullopt; }
    void show_balloon_tip(const balloon_tip_request&) override {}
    void open_url(const std::u16string&) override {}
    std::string last;
};

}  // namespace

utility_costs run_utility_job(const std::filesystem::path& path) {
    remembered_messages messages;
    ui_services* previous = set_ui_services(&messages);
    utility_costs costs;
    try {
        phase_meter load;
        auto package = std::make_unique<installer_package>(sys::from_fs_path(path));
        if (!package->is_open()) throw std::runtime_error("the package did not open: " + messages.last);
        // What "Generate MST File" writes right after a load when the
        // administrator changed nothing.
        deployment::settings_values values;
        const auto extras = deployment::read_settings(package->values(), deployment::reading::package_defaults, values);
        costs.load = load.stop();

        costs.written = deployment::plan_writes(values, extras.product_name).writes;
        phase_meter writes;
        for (const auto& w : costs.written) deployment::apply_write(package->values(), w);
        costs.writes = writes.stop();

        phase_meter transform;
        package->generate_transform();
        costs.transform = transform.stop();
        costs.outcome = messages.last;

        auto mst = path;
        mst.replace_extension(".mst");
        std::error_code ec;
        costs.transform_size = std::filesystem::file_size(mst, ec);
        std::filesystem::remove(mst, ec);
    } catch (...) {
        set_ui_services(previous);
        throw;
    }
    set_ui_services(previous);
    return costs;
}

std::string msibuild_statement(const setting_write& w) {
    const std::string name = sys::utf16_to_utf8(w.name), text = sys::utf16_to_utf8(w.text);
    switch (w.type) {
        case setting_write::kind::property:
            return "UPDATE Property SET Value = '" + text + "' WHERE Property = '" + name + "'";
        case setting_write::kind::registry_text:
            return "UPDATE Registry SET Value = '" + text + "' WHERE Name = '" + name + "'";
        case setting_write::kind::registry_number:
            return "UPDATE Registry SET Value = '#" + std::to_string(w.number) + "' WHERE Name = '" + name + "'";
    }
    return {};
}

}  // namespace bench
