#include "installer/settings_text.h"

#include "installer/application_languages.h"
#include "installer/deployment_settings_map.h"
#include "system/text_conversion.h"

namespace deployment {
namespace {

// The iManage page takes no longer path.
constexpr std::size_t max_install_path_length = 2048;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::string language_codes() {
    std::string codes;
    for (const auto& entry : application_languages) codes += std::string(codes.empty() ? "" : ", ") + entry.code;
    return codes;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> settings_lines(const settings_values& values) {
    std::vector<std::pair<std::string, std::string>> lines;
    for (const auto& row : deployment_settings_map()) {
        if (row.setting.empty()) continue;
        std::string value;
        if (row.check)
            value = values.*row.check != 0 ? "on" : "off";
        else if (row.setting == "print_profile")
            value = values.print_profile == pcl_optimized_profile ? "pcl" : "default";
        else if (row.text)
            value = sys::utf16_to_utf8(values.*row.text);
        lines.emplace_back(std::string(row.setting), value);
    }
    return lines;
}

std::vector<std::string> settings_help_lines() {
    std::vector<std::string> lines;
    for (const auto& row : deployment_settings_map()) {
        if (row.setting.empty()) continue;
        std::string takes;
        if (row.check)
            takes = "on | off";
        else if (row.setting == "print_profile")
            takes = "default | pcl";
        else if (row.setting == "application_language")
            takes = language_codes();
        else
            takes = "a path (required while imanage_enabled is on)";
        lines.push_back(std::string(row.setting) + " = " + takes);
    }
    return lines;
}

std::optional<std::string> set_setting(settings_values& values, std::string_view name, std::string_view value) {
    const setting_row* row = find_setting(name);
    if (!row) return "unknown setting '" + std::string(name) + "'";
    const std::string bad = "bad value '" + std::string(value) + "' for " + std::string(name) + ": ";
    if (row->check) {
        if (value == "on")
            values.*row->check = 1;
        else if (value == "off")
            values.*row->check = 0;
        else
            return bad + "use on or off";
    } else if (name == "print_profile") {
        if (value == "pcl")
            values.print_profile = pcl_optimized_profile;
        else if (value == "default")
            values.print_profile = 0;
        else
            return bad + "use default or pcl";
    } else if (name == "application_language") {
        for (const auto& entry : application_languages)
            if (value == entry.code) {
                values.application_language = sys::utf8_to_utf16(value);
                return std::nullopt;
            }
        return bad + "use one of " + language_codes();
    } else if (row->text) {
        const std::u16string text = sys::utf8_to_utf16(value);
        if (sys::utf16_to_utf8(text) != value) return bad + "not UTF-8 text";
        if (text.size() > max_install_path_length)
            return bad + "longer than " + std::to_string(max_install_path_length) + " characters";
        values.*row->text = text;
    } else {
        return "unknown setting '" + std::string(name) + "'";
    }
    return std::nullopt;
}

std::optional<std::string> set_setting_assignment(settings_values& values, std::string_view assignment) {
    const auto equals = assignment.find('=');
    if (equals == std::string_view::npos) return "expected name=value, got '" + std::string(assignment) + "'";
    return set_setting(values, trimmed(assignment.substr(0, equals)), trimmed(assignment.substr(equals + 1)));
}

std::optional<std::string> apply_settings_text(settings_values& values, std::string_view text) {
    settings_values changed = values;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals != std::string_view::npos) {
            const auto name = trimmed(line.substr(0, equals));
            if (name == terms_address_name || name == privacy_address_name) continue;
        }
        if (auto error = set_setting_assignment(changed, line)) return "line " + std::to_string(number) + ": " + *error;
    }
    values = std::move(changed);
    return std::nullopt;
}

}  // namespace deployment
