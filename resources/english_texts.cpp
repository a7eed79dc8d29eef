#include "resources/english_texts.h"

const resource_texts& english_texts() {
    static const resource_texts texts{
        .main_caption = u"Quorlin PDF Pro Deployment Utility",
        .browse = u"Browse...",
        .generate = u"Generate MST File",
        .msi_file_label = u"MSI file:",
        .load_prompt =
            u"Please load the Quorlin PDF Pro installer (MSI) to begin creating your "
            u"transform file (MST)",
        .agreement_link =
            u"By generating this MST file, I agree to the Quorlin "
            u"<a id=\"terms-of-service\">Terms of Service</a> and "
            u"<a id=\"privacy-policy\">Privacy Policy</a>",
        .agreement_static =
            u"By generating this MST file, I agree to the Quorlin Terms of Service "
            u"and Privacy Policy",
        .version_placeholder = u"Static",

        .installation_options_group = u"Installation Options",
        .create_desktop_shortcut = u"Create desktop shortcut",
        .install_office_addins =
            u"Install Quorlin PDF Pro add-in for Microsoft Word, Excel, "
            u"PowerPoint, and Outlook",
        .install_printer_driver = u"Install printer driver",
        .enable_sign_integration = u"Enable Quorlin Sign integration",
        .enable_crash_reporting = u"Enable crash reporting and hang detection",
        .language_label = u"Language:",
        .remote_storage_group = u"Remote Storage",
        .enable_dropbox = u"Enable integration with Dropbox",
        .enable_box = u"Enable integration with Box",
        .enable_onedrive = u"Enable integration with OneDrive",
        .enable_sharepoint = u"Enable integration with SharePoint",
        .azure_group = u"Microsoft Azure Information Protection",
        .enable_azure_labeling = u"Enable classification and labeling",
        .azure_force_login = u"Force Login",
        .enable_network_disk = u"Enable integration with network disk",

        .print_settings_group = u"Print Settings",

        .imanage_group = u"iManage Work 10 Configuration",
        .imanage_warning =
            u"Before enabling iManage Work 10 integration, ensure Quorlin PDF Pro is "
            u"configured on the iManage server.",
        .imanage_enabled = u"Enable integration with iManage Work 10",
        .imanage_path_label = u"iManage Install Path:",
        .imanage_hint =
            u"Enter the path to the iManage Work folder under iManage install "
            u"directory, for example \"C:\\Program Files\\iManage\\Work10\".",

        .help_group = u"Help Resources",
        .knowledge_assistant = u"Enable Knowledge Assistant",

        .imanage_path_empty =
            u"The iManage Installation Path should not be empty. Please, enter a "
            u"valid path or disable iManage integration.",
        .version_format = u"v{}",
    };
    return texts;
}
