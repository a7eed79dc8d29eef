#pragma once
// The administrator's choices as plain values: what the four pages hold,
// without the pages. Initial values are those of freshly created pages.
//
// The fields of each page live in a struct of their own, which the page
// derives from: the page's settings and these values are then the same
// fields, and the window moves a whole page's settings at once.
#include <string>

namespace deployment {

// General page: 0 = unchecked, 1 = checked.
struct general_page_settings {
    int create_desktop_shortcut = 0;
    int install_office_addins = 0;
    int install_printer_driver = 0;
    int enable_sign_integration = 0;
    int enable_dropbox = 0;
    int enable_box = 0;
    int enable_onedrive = 0;
    int enable_sharepoint = 0;
    int enable_network_disk = 0;
    int enable_crash_reporting = 0;
    int enable_azure_labeling = 0;
    int azure_force_login = 0;

    bool operator==(const general_page_settings&) const = default;
};

// iManage Work 10 page.
struct imanage_page_settings {
    int imanage_enabled = 0;  // 0 = off, 1 = on
    std::u16string imanage_install_path;

    bool operator==(const imanage_page_settings&) const = default;
};

// Help Resources page.
struct help_page_settings {
    int knowledge_assistant_enabled = 0;  // 0 = off, 1 = on

    bool operator==(const help_page_settings&) const = default;
};

struct settings_values : general_page_settings, imanage_page_settings, help_page_settings {
    // The General page's language list, by code.
    std::u16string application_language = u"en-US";
    // Print Settings page: the list index (1 = "Optimize for PCL driver",
    // anything else the default profile).
    int print_profile = 0;

    bool operator==(const settings_values&) const = default;
};

inline constexpr int pcl_optimized_profile = 1;

}  // namespace deployment
