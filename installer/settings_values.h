#pragma once
// The administrator's choices as plain values: what the four pages hold,
// without the pages. Initial values are those of freshly created pages.
#include <string>

namespace deployment {

struct settings_values {
    // General page: 0 = unchecked, 1 = checked.
    int create_desktop_shortcut = 0;
    int install_office_addins = 0;
    int install_printer_driver = 0;
    int enable_sign_integration = 0;
    int enable_dropbox = 0;
    int enable_onedrive = 0;
    int enable_box = 0;
    int enable_sharepoint = 0;
    int enable_network_disk = 0;
    int enable_crash_reporting = 0;
    int enable_azure_labeling = 0;
    int azure_force_login = 0;
    // The language list's choice, by code.
    std::u16string application_language = u"en-US";
    // Print Settings page: the list index (1 = "Optimize for PCL driver",
    // anything else the default profile).
    int print_profile = 0;
    // iManage Work 10 page.
    int imanage_enabled = 0;
    std::u16string imanage_install_path;
    // Help Resources page.
    int knowledge_assistant_enabled = 0;

    bool operator==(const settings_values&) const = default;
};

inline constexpr int pcl_optimized_profile = 1;

}  // namespace deployment
