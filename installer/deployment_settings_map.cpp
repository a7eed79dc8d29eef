#include "installer/deployment_settings_map.h"

#include "resources/resource.h"

#include <algorithm>
#include <vector>

namespace deployment {
namespace {

using enum package_table;
using enum write_form;
using enum write_condition;

constexpr write_side unused{};

// Shorthands that keep each row on a few lines.
constexpr read_side read(package_table table, std::u16string_view name, read_rule rule, missing_gives missing) {
    return {table, name, rule, missing};
}
constexpr write_side write(int order, package_table table, std::u16string_view name, write_form form,
                           write_condition condition = always) {
    return {order, table, name, form, condition, {}, 0, 0};
}
constexpr write_side write_constant(int order, std::u16string_view name, std::u16string_view text) {
    return {order, property, name, constant, always, text, 0, 0};
}
constexpr write_side write_print_number(int order, std::u16string_view name, std::int32_t pcl, std::int32_t other) {
    return {order, registry, name, print_number, after_imanage_check, {}, pcl, other};
}

// A check box on the page whose settings hold `field`.
template <class PageSettings>
constexpr setting_row check_box(std::string_view setting, int PageSettings::*field, int control, read_side from,
                                write_side first, write_side second = unused) {
    static_assert(page_of<PageSettings> != settings_page::none);
    return {setting, page_of<PageSettings>, control, field, nullptr, {}, from, {first, second}};
}
constexpr setting_row gated_by(std::string_view gate, setting_row row) {
    row.gate = gate;
    return row;
}

using general = general_page_settings;
using missing = missing_gives;

constexpr setting_row rows[] = {
    check_box("create_desktop_shortcut", &general::create_desktop_shortcut, IDC_CREATE_DESKTOP_SHORTCUT,
              read(property, u"DT_SHORTCUT", read_rule::checked_unless_zero, missing::checked),
              write(2, property, u"DT_SHORTCUT", plain_flag)),
    check_box("install_office_addins", &general::install_office_addins, IDC_INSTALL_OFFICE_ADDINS,
              read(property, u"OFFICEADDINS", read_rule::checked_unless_zero, missing::checked),
              write(3, property, u"OFFICEADDINS", plain_flag)),
    // Read from the installer's own property, written to the one the product reads.
    check_box("install_printer_driver", &general::install_printer_driver, IDC_INSTALL_PRINTER_DRIVER,
              read(property, u"QPINSTALLPRINTERDRIVER", read_rule::checked_unless_zero, missing::checked),
              write(4, property, u"INSTALL_PRINTER_DRIVER", plain_flag)),
    check_box("enable_sign_integration", &general::enable_sign_integration, IDC_ENABLE_SIGN_INTEGRATION,
              read(package_table::none, {}, read_rule::always_checked, missing::checked),
              write(5, property, u"SIGNENABLE", plain_flag, product_is_pro)),
    check_box("enable_dropbox", &general::enable_dropbox, IDC_ENABLE_DROPBOX,
              read(property, u"DROPBOXDISABLED", read_rule::checked_if_integration_on, missing::unchecked),
              write(6, property, u"DROPBOXDISABLED", inverted_integer)),
    check_box("enable_onedrive", &general::enable_onedrive, IDC_ENABLE_ONEDRIVE,
              read(property, u"ONEDRIVEDISABLED", read_rule::checked_if_integration_on, missing::unchecked),
              write(7, property, u"ONEDRIVEDISABLED", inverted_integer)),
    check_box("enable_box", &general::enable_box, IDC_ENABLE_BOX,
              read(property, u"BOXDISABLED", read_rule::checked_if_integration_on, missing::unchecked),
              write(8, property, u"BOXDISABLED", inverted_integer)),
    check_box("enable_sharepoint", &general::enable_sharepoint, IDC_ENABLE_SHAREPOINT,
              read(property, u"SHAREPOINTDISABLED", read_rule::checked_if_integration_on, missing::unchecked),
              write(9, property, u"SHAREPOINTDISABLED", inverted_integer)),
    check_box("enable_network_disk", &general::enable_network_disk, IDC_ENABLE_NETWORK_DISK,
              read(registry, u"network_disk_enabled", read_rule::checked_if_switch_on, missing::unchecked),
              write(10, registry, u"network_disk_enabled", switch_text)),
    // One setting, two places: the product's registry switch and the installer property.
    check_box("enable_crash_reporting", &general::enable_crash_reporting, IDC_ENABLE_CRASH_REPORTING,
              read(property, u"BUGSPLAT_SENDREPORT_ENABLED", read_rule::checked_unless_zero, missing::checked),
              write(13, registry, u"kBugsplatEnableCrashReporting", switch_text),
              write(14, property, u"BUGSPLAT_SENDREPORT_ENABLED", plain_flag)),
    check_box("enable_azure_labeling", &general::enable_azure_labeling, IDC_ENABLE_AZURE_LABELING,
              read(property, u"MSAZUREIPLABELINGENABLED", read_rule::checked_if_one, missing::unchecked),
              write(11, property, u"MSAZUREIPLABELINGENABLED", integer)),
    // Force Login means nothing without labeling, but is read and written on its own.
    gated_by("enable_azure_labeling",
             check_box("azure_force_login", &general::azure_force_login, IDC_AZURE_FORCE_LOGIN,
                       read(property, u"MSAZUREFORCELOGIN", read_rule::checked_if_switch_on, missing::unchecked),
                       write(12, property, u"MSAZUREFORCELOGIN", switch_text))),
    check_box("imanage_enabled", &imanage_page_settings::imanage_enabled, IDC_IMANAGE_ENABLED,
              read(property, u"IMANAGEENABLED", read_rule::checked_if_one, missing::unchecked),
              write(16, property, u"IMANAGEENABLED", plain_flag, after_imanage_check)),
    // The path means something only while the integration is on.
    {"imanage_install_path",
     settings_page::imanage,
     IDC_IMANAGE_PATH,
     nullptr,
     &settings_values::imanage_install_path,
     "imanage_enabled",
     read(property, u"IMANAGEINSTALLPATH", read_rule::text_if_gate_checked, missing::empty_text),
     {write(17, property, u"IMANAGEINSTALLPATH", text_if_gate_checked_else_zero, after_imanage_check), unused}},
    check_box("knowledge_assistant_enabled", &help_page_settings::knowledge_assistant_enabled, IDC_KNOWLEDGE_ASSISTANT,
              read(property, u"KNOWLEDGEASSISTANT", read_rule::checked_if_switch_on, missing::unchecked),
              write(18, property, u"KNOWLEDGEASSISTANT", switch_text, after_imanage_check)),
    // Written but never read: the update check is always switched off, and
    // the language and print profile keep the administrator's choice.
    {"", settings_page::none, 0, nullptr, nullptr, {}, {}, {write_constant(1, u"WINSPARKLE_ENABLED", u"/b 0"), unused}},
    {"application_language",
     settings_page::general,
     IDC_LANGUAGE_LIST,
     nullptr,
     &settings_values::application_language,
     {},
     {},
     {write(15, property, u"APPLICATION_LANGUAGE", language_code), unused}},
    {"print_profile",
     settings_page::print,
     IDC_PRINT_PROFILE,
     nullptr,
     nullptr,
     {},
     {},
     {write_print_number(19, u"PrintBandSize", 0xF7800, 0x800000),
      write_print_number(20, u"PrintBandCountForIgnore", 0xFFFF, 8)}},
};

}  // namespace

std::span<const setting_row> deployment_settings_map() { return rows; }

std::span<const planned_write> writes_in_order() {
    static const std::vector<planned_write> ordered = [] {
        std::vector<planned_write> all;
        for (const auto& row : rows)
            for (const auto& w : row.writes)
                if (w.order != 0) all.push_back({&row, &w});
        std::ranges::sort(all, {}, [](const planned_write& p) { return p.write->order; });
        return all;
    }();
    return ordered;
}

const setting_row* find_setting(std::string_view setting) {
    for (const auto& row : rows)
        if (!setting.empty() && row.setting == setting) return &row;
    return nullptr;
}

bool is_checked(read_rule rule, std::u16string_view value) {
    switch (rule) {
    case read_rule::always_checked: return true;
    case read_rule::checked_unless_zero: return value != u"0";
    case read_rule::checked_if_integration_on: return value == u"#0" || value == u"unset";
    case read_rule::checked_if_one: return value == u"1";
    case read_rule::checked_if_switch_on: return value == u"/b 1";
    case read_rule::none:
    case read_rule::text_if_gate_checked: break;
    }
    return false;
}

std::optional<int> written_flag(write_form form, std::u16string_view value) {
    for (int checked : {0, 1})
        if (value == flag_text(form, checked) && !value.empty()) return checked;
    return std::nullopt;
}

std::u16string flag_text(write_form form, int checked) {
    const bool on = checked != 0;
    switch (form) {
    case plain_flag: return on ? u"1" : u"0";
    case inverted_integer: return on ? u"#0" : u"#1";
    case integer: return on ? u"#1" : u"#0";
    case switch_text: return on ? u"/b 1" : u"/b 0";
    default: return {};
    }
}

bool is_pro_product(std::u16string_view product_name) { return product_name.find(u"Pro") != std::u16string_view::npos; }

}  // namespace deployment
