#pragma once
// Identifiers of the program's resources: dialog templates, their controls,
// string-table entries and the icon. A language module uses the same ones.

// Dialog templates.
inline constexpr int IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG = 102;
inline constexpr int IDD_INSTALLATION_OPTIONS = 132;
inline constexpr int IDD_PRINT_SETTINGS = 139;
inline constexpr int IDD_IMANAGE = 1066;
inline constexpr int IDD_QUORLIN_AI = 1075;

// Icon group of the application.
inline constexpr int IDR_MAINFRAME = 128;
// The system's warning icon; the program holds no icon of this number.
inline constexpr int IDI_SYSTEM_WARNING = 32515;

// String-table entries.
inline constexpr int IDS_IMANAGE_PATH_EMPTY = 1070;
inline constexpr int IDS_VERSION_FORMAT = 1071;

// Main window.
inline constexpr int IDC_MSI_PATH = 1000;
inline constexpr int IDC_BROWSE = 1001;
inline constexpr int IDC_GENERATE = 1008;
inline constexpr int IDC_PAGE_FRAME = 1035;
inline constexpr int IDC_PAGE_TREE = 1036;
inline constexpr int IDC_AGREEMENT_LINK = 1052;
inline constexpr int IDC_CONSENT_CHECK = 1053;
inline constexpr int IDC_CONSENT_STATIC = 1054;
inline constexpr int IDC_VERSION_LABEL = 1064;

// Group box shared by the General, Print Settings and iManage pages.
inline constexpr int IDC_PAGE_GROUP = 1043;

// General page.
inline constexpr int IDC_ENABLE_AZURE_LABELING = 1003;
inline constexpr int IDC_AZURE_FORCE_LOGIN = 1004;
inline constexpr int IDC_CREATE_DESKTOP_SHORTCUT = 1005;
inline constexpr int IDC_INSTALL_OFFICE_ADDINS = 1006;
inline constexpr int IDC_AZURE_GROUP = 1007;
inline constexpr int IDC_INSTALL_PRINTER_DRIVER = 1010;
inline constexpr int IDC_ENABLE_DROPBOX = 1039;
inline constexpr int IDC_ENABLE_BOX = 1040;
inline constexpr int IDC_REMOTE_STORAGE_GROUP = 1044;
inline constexpr int IDC_ENABLE_ONEDRIVE = 1045;
inline constexpr int IDC_ENABLE_SIGN_INTEGRATION = 1047;
inline constexpr int IDC_ENABLE_SHAREPOINT = 1048;
inline constexpr int IDC_ENABLE_NETWORK_DISK = 1049;
inline constexpr int IDC_ENABLE_CRASH_REPORTING = 1050;
inline constexpr int IDC_LANGUAGE_LIST = 1072;

// Print Settings page.
inline constexpr int IDC_PRINT_PROFILE = 1051;

// iManage Work 10 page.
inline constexpr int IDC_IMANAGE_PATH = 1067;
inline constexpr int IDC_IMANAGE_PATH_LABEL = 1068;
inline constexpr int IDC_IMANAGE_HINT = 1069;
inline constexpr int IDC_IMANAGE_ENABLED = 1071;
inline constexpr int IDC_IMANAGE_WARNING_ICON = 3492;

// Help Resources page.
inline constexpr int IDC_HELP_GROUP = 1076;
inline constexpr int IDC_KNOWLEDGE_ASSISTANT = 1077;
