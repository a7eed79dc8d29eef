#pragma once
// Which package value feeds which page setting, and in which form each
// setting goes back into the package; where the setting sits on the pages
// and by which name the command line knows it. The load and generate
// commands, the pages' exchange and enabling, and the job without a window
// walk this table instead of spelling out each setting themselves.
//
// One row per setting. A row has at most one read side (rows are listed in
// reading order) and up to two write sides, each with its place W1..W20 in
// the order of writing. The two sides differ for several settings on
// purpose: names, forms and conditions are the package's own conventions.
//
// A new check box takes a row here, a field in its page's settings
// (settings_values.h), a control in the page's template and its texts;
// nothing else names it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "installer/settings_values.h"

namespace deployment {

enum class package_table { none, property, registry, control };

// The page that shows a setting.
enum class settings_page { none, general, print, imanage, help };

// The page whose settings a struct of settings_values.h holds.
template <class PageSettings>
inline constexpr settings_page page_of = settings_page::none;
template <>
inline constexpr settings_page page_of<general_page_settings> = settings_page::general;
template <>
inline constexpr settings_page page_of<imanage_page_settings> = settings_page::imanage;
template <>
inline constexpr settings_page page_of<help_page_settings> = settings_page::help;

enum class read_rule {
    none,                       // no read side: the setting keeps what it holds
    always_checked,             // nothing is read; the setting comes up checked
    checked_unless_zero,        // unchecked only for "0"
    checked_if_integration_on,  // checked only for "#0" or "unset" (the *DISABLED properties)
    checked_if_one,             // checked only for "1"
    checked_if_switch_on,       // checked only for "/b 1"
    text_if_gate_checked,       // taken unchanged, and read only when the row's gate setting
                                // was read as checked (otherwise the field keeps its text)
};

enum class missing_gives { checked, unchecked, empty_text };

enum class write_form {
    constant,                        // the row's fixed text
    plain_flag,                      // "1" / "0"
    inverted_integer,                // "#0" when checked / "#1" when unchecked
    integer,                         // "#1" / "#0"
    switch_text,                     // "/b 1" / "/b 0"
    language_code,                   // the General page's selected language code
    text_if_gate_checked_else_zero,  // the text when the gate setting is checked, else "0"
    print_number,                    // a registry number chosen by the print profile
};

enum class write_condition {
    always,
    product_is_pro,       // only for a product name containing "Pro"
    after_imanage_check,  // only once the iManage path check has passed
};

struct read_side {
    package_table table = package_table::none;
    std::u16string_view name;
    read_rule rule = read_rule::none;
    missing_gives missing = missing_gives::unchecked;
};

struct write_side {
    int order = 0;  // 1..20; 0 marks an unused slot
    package_table table = package_table::none;
    std::u16string_view name;
    write_form form = write_form::constant;
    write_condition condition = write_condition::always;
    std::u16string_view constant;     // write_form::constant
    std::int32_t pcl_number = 0;      // write_form::print_number, profile 1
    std::int32_t default_number = 0;  // write_form::print_number, any other profile
};

using check_field = int settings_values::*;
using text_field = std::u16string settings_values::*;

struct setting_row {
    std::string_view setting;  // the page setting's name, also on the command line
    settings_page page = settings_page::none;
    int control = 0;              // the control that shows the setting on its page
    check_field check = nullptr;  // the 0/1 value, when the setting is one
    text_field text = nullptr;    // the text value, when the setting is one
    // The check box setting this one depends on, if any: a text is read and
    // written only while it is checked, a check box enabled only then.
    std::string_view gate;
    read_side read;
    std::array<write_side, 2> writes;
};

// Every setting, in reading order.
std::span<const setting_row> deployment_settings_map();

struct planned_write {
    const setting_row* row;
    const write_side* write;
};

// Every write side of the map, in the order of writing (W1 first).
std::span<const planned_write> writes_in_order();

// The 0/1 field of a check box row, in the settings of the row's page (the
// page derives from them). `row.page` must be page_of<PageSettings>.
template <class PageSettings>
int& page_check(PageSettings& settings, const setting_row& row) {
    return settings.*static_cast<int PageSettings::*>(row.check);
}

// The row of a setting, or null.
const setting_row* find_setting(std::string_view setting);

// A value read from the package, judged by a read rule (not for text rules).
bool is_checked(read_rule rule, std::u16string_view value);

// The setting a value written in `form` stands for: 1 or 0, or nothing for a
// text that form never produces.
std::optional<int> written_flag(write_form form, std::u16string_view value);

// The text a 0/1 setting is written as in the given form.
std::u16string flag_text(write_form form, int checked);

// Whether a product name calls for the e-signature setting (case-sensitive).
bool is_pro_product(std::u16string_view product_name);

}  // namespace deployment
