#include "installer/deployment_settings.h"

#include "installer/application_languages.h"
#include "installer/deployment_settings_map.h"
#include "system/text_conversion.h"

#include <map>

namespace deployment {
namespace {

std::u16string read_value(database_values& package, package_table table, std::u16string_view name) {
    const std::u16string text(name);
    switch (table) {
    case package_table::property: return package.read_property(text);
    case package_table::registry: return package.read_registry_value(text);
    case package_table::control: return package.read_control_text(text);
    case package_table::none: break;
    }
    return {};
}

// The load command's rule for one 0/1 setting.
int default_check(database_values& package, const read_side& read) {
    if (read.rule == read_rule::always_checked) return 1;
    const std::u16string value = read_value(package, read.table, read.name);
    // The *DISABLED properties are judged as they stand: an empty value is
    // neither "#0" nor "unset".
    if (value.empty() && read.rule != read_rule::checked_if_integration_on)
        return read.missing == missing_gives::checked ? 1 : 0;
    return is_checked(read.rule, value) ? 1 : 0;
}

// A 0/1 setting from the first of its write sides that holds a written form.
std::optional<int> written_check(database_values& package, const setting_row& row, std::u16string_view product_name) {
    for (const auto& write : row.writes) {
        if (write.order == 0) continue;
        // Written only for some products: for the others the package's own
        // value says nothing about the setting.
        if (write.condition == write_condition::product_is_pro && !is_pro_product(product_name)) continue;
        if (auto flag = written_flag(write.form, read_value(package, write.table, write.name))) return flag;
    }
    return std::nullopt;
}

bool is_language_code(std::u16string_view code) {
    for (const auto& entry : application_languages)
        if (sys::utf8_to_utf16(entry.code) == code) return true;
    return false;
}

std::u16string registry_number_text(std::int32_t number) { return u"#" + sys::utf8_to_utf16(std::to_string(number)); }

// The print profile whose numbers a written PrintBandSize holds.
std::optional<int> written_print_profile(database_values& package, const write_side& write) {
    const std::u16string value = read_value(package, write.table, write.name);
    if (value == registry_number_text(write.pcl_number)) return pcl_optimized_profile;
    if (value == registry_number_text(write.default_number)) return 0;
    return std::nullopt;
}

bool is_white_space(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

}  // namespace

namespace {

bool name_exists(database_values& package, package_table table, std::u16string_view name) {
    switch (table) {
    case package_table::property: return package.has_property(std::u16string(name));
    case package_table::registry: return package.has_registry_value(std::u16string(name));
    default: return false;
    }
}

}  // namespace

package_coverage settings_coverage(database_values& package) {
    package_coverage coverage;
    bool any = false;
    for (const auto& row : deployment_settings_map()) {
        bool effect = false;
        for (const auto& write : row.writes)
            if (write.order != 0 && name_exists(package, write.table, write.name)) effect = true;
        any = any || effect;
        if (!any && row.read.table != package_table::none && row.read.table != package_table::control)
            any = name_exists(package, row.read.table, row.read.name);
        if (!effect && !row.setting.empty()) coverage.without_effect.emplace_back(row.setting);
    }
    coverage.holds_none = !any;
    return coverage;
}

std::string coverage_message(const package_coverage& coverage) {
    if (coverage.holds_none)
        return "This package does not hold the settings this utility changes; its transform would be empty.";
    if (coverage.without_effect.empty()) return {};
    std::string text = "These options have no effect on this package (it does not hold their settings):";
    for (std::size_t i = 0; i < coverage.without_effect.size(); ++i)
        text += (i ? ", " : " ") + coverage.without_effect[i];
    return text + ".";
}

package_extras read_settings(database_values& package, reading how, settings_values& values) {
    package_extras extras;
    settings_values read = values;  // `values` changes only once every read succeeded
    extras.product_name = package.read_property(u"ProductName");

    std::map<std::string_view, int> read_checks;
    for (const auto& row : deployment_settings_map()) {
        if (row.check && row.read.rule != read_rule::none) {
            std::optional<int> checked;
            if (how == reading::as_written) checked = written_check(package, row, extras.product_name);
            read.*row.check = checked ? *checked : default_check(package, row.read);
            read_checks[row.setting] = read.*row.check;
        } else if (row.text && row.read.rule == read_rule::text_if_gate_checked) {
            // The written text is the read text: the path under the same name.
            if (read_checks[row.gate] == 1) read.*row.text = read_value(package, row.read.table, row.read.name);
        } else if (how == reading::as_written) {
            const write_side& write = row.writes[0];
            if (write.form == write_form::language_code) {
                const std::u16string code = read_value(package, write.table, write.name);
                if (is_language_code(code)) read.application_language = code;
            } else if (write.form == write_form::print_number) {
                if (auto profile = written_print_profile(package, write)) read.print_profile = *profile;
            }
        }
    }

    extras.terms_text = package.read_control_text(u"TermsAndConditionsAgreement");
    extras.terms_url = package.read_property(u"TOS_URL");
    extras.privacy_text = package.read_control_text(u"PrivacyPolicyAgreement");
    extras.privacy_url = package.read_property(u"PP_URL");
    values = std::move(read);
    return extras;
}

write_plan plan_writes(settings_values& values, std::u16string_view product_name) {
    write_plan plan;
    bool imanage_checked = false;
    for (const auto& [row, write] : writes_in_order()) {
        if (write->condition == write_condition::after_imanage_check && !imanage_checked) {
            values.imanage_install_path = trimmed_install_path(values.imanage_install_path);
            if (values.imanage_enabled != 0 && values.imanage_install_path.empty()) {
                plan.outcome = write_outcome::imanage_path_missing;
                return plan;
            }
            imanage_checked = true;
        }
        if (write->condition == write_condition::product_is_pro && !is_pro_product(product_name)) continue;

        value_write planned;
        planned.name = std::u16string(write->name);
        planned.type =
            write->table == package_table::registry ? value_write::kind::registry_text : value_write::kind::property;
        switch (write->form) {
        case write_form::constant: planned.text = std::u16string(write->constant); break;
        case write_form::plain_flag:
        case write_form::inverted_integer:
        case write_form::integer:
        case write_form::switch_text: planned.text = flag_text(write->form, values.*row->check); break;
        case write_form::language_code: planned.text = values.application_language; break;
        case write_form::text_if_gate_checked_else_zero: {
            const auto* gate = find_setting(row->gate);
            planned.text = values.*gate->check != 0 ? values.*row->text : u"0";
            break;
        }
        case write_form::print_number:
            planned.type = value_write::kind::registry_number;
            planned.number = values.print_profile == pcl_optimized_profile ? write->pcl_number : write->default_number;
            break;
        }
        plan.writes.push_back(std::move(planned));
    }
    return plan;
}

void apply_write(database_values& package, const value_write& write) {
    switch (write.type) {
    case value_write::kind::property: package.set_property(write.name, write.text); break;
    case value_write::kind::registry_text: package.set_registry_value(write.name, write.text); break;
    case value_write::kind::registry_number: package.set_registry_number(write.name, write.number); break;
    }
}

write_outcome write_settings(database_values& package, settings_values& values, std::u16string_view product_name) {
    const write_plan plan = plan_writes(values, product_name);
    for (const auto& write : plan.writes) apply_write(package, write);
    return plan.outcome;
}

std::u16string trimmed_install_path(std::u16string_view path) {
    std::size_t begin = 0, end = path.size();
    while (begin < end && is_white_space(path[begin])) ++begin;
    while (end > begin && is_white_space(path[end - 1])) --end;
    return std::u16string(path.substr(begin, end - begin));
}

std::optional<std::u16string> href_from_markup(std::u16string_view markup) {
    constexpr std::u16string_view opening = u"href=\"";
    constexpr std::u16string_view closing = u"\">";
    const auto start = markup.find(opening);
    if (start == std::u16string_view::npos) return std::nullopt;
    const auto first = start + opening.size();
    const auto end = markup.find(closing, first);
    if (end == std::u16string_view::npos) return std::nullopt;
    return std::u16string(markup.substr(first, end - first));
}

std::optional<std::u16string> agreement_address(std::u16string_view url, std::u16string_view markup) {
    if (!url.empty()) return std::u16string(url);
    return href_from_markup(markup);
}

}  // namespace deployment
