#pragma once
// Every text of the program's resources that a language translates: the
// captions of the dialog templates and the string-table entries. The
// templates' layout (identifiers, rectangles, styles, order) is the same in
// every language and is built from one of these tables.
#include <string>

struct resource_texts {
    // Main window (template 102).
    std::u16string main_caption;
    std::u16string browse;
    std::u16string generate;
    std::u16string msi_file_label;
    std::u16string load_prompt;
    std::u16string agreement_link;    // link markup with the ids "terms-of-service" and "privacy-policy"
    std::u16string agreement_static;  // the same sentence without links
    std::u16string version_placeholder;

    // General page (template 132).
    std::u16string installation_options_group;
    std::u16string create_desktop_shortcut;
    std::u16string install_office_addins;
    std::u16string install_printer_driver;
    std::u16string enable_sign_integration;
    std::u16string enable_crash_reporting;
    std::u16string language_label;
    std::u16string remote_storage_group;
    std::u16string enable_dropbox;
    std::u16string enable_box;
    std::u16string enable_onedrive;
    std::u16string enable_sharepoint;
    std::u16string azure_group;
    std::u16string enable_azure_labeling;
    std::u16string azure_force_login;
    std::u16string enable_network_disk;

    // Print Settings page (template 139).
    std::u16string print_settings_group;

    // iManage Work 10 page (template 1066).
    std::u16string imanage_group;
    std::u16string imanage_warning;
    std::u16string imanage_enabled;
    std::u16string imanage_path_label;
    std::u16string imanage_hint;

    // Help Resources page (template 1075).
    std::u16string help_group;
    std::u16string knowledge_assistant;

    // String table.
    std::u16string imanage_path_empty;  // 1070
    std::u16string version_format;      // 1071, "{}" stands for the version
};
