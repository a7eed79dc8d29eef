#include "german_texts.h"

// Captions must fit the same rectangles as the English ones; several are
// shortened for that.
const resource_texts& german_texts() {
    static const resource_texts texts{
        .main_caption = u"Quorlin PDF Pro Bereitstellungsprogramm",
        .browse = u"Auswählen...",
        .generate = u"MST-Datei erstellen",
        .msi_file_label = u"MSI-Datei:",
        .load_prompt =
            u"Laden Sie das Installationsprogramm (MSI) von Quorlin PDF Pro, um Ihre "
            u"Transformationsdatei (MST) zu erstellen",
        .agreement_link =
            u"Mit der MST-Datei akzeptiere ich die Quorlin "
            u"<a id=\"terms-of-service\">Nutzungsbedingungen</a> und "
            u"<a id=\"privacy-policy\">Datenschutzerklärung</a>",
        .agreement_static =
            u"Mit der MST-Datei akzeptiere ich die Quorlin Nutzungsbedingungen und "
            u"Datenschutzerklärung",
        .version_placeholder = u"Static",

        .installation_options_group = u"Installationsoptionen",
        .create_desktop_shortcut = u"Desktopverknüpfung erstellen",
        .install_office_addins =
            u"Quorlin PDF Pro-Add-in für Microsoft Word, Excel, PowerPoint und "
            u"Outlook installieren",
        .install_printer_driver = u"Druckertreiber installieren",
        .enable_sign_integration = u"Integration mit Quorlin Sign aktivieren",
        .enable_crash_reporting = u"Absturzberichte und Erkennung von Hängern aktivieren",
        .language_label = u"Sprache:",
        .remote_storage_group = u"Remote-Speicher",
        .enable_dropbox = u"Integration mit Dropbox aktivieren",
        .enable_box = u"Integration mit Box aktivieren",
        .enable_onedrive = u"Integration mit OneDrive aktivieren",
        .enable_sharepoint = u"Integration mit SharePoint aktivieren",
        .azure_group = u"Microsoft Azure Information Protection",
        .enable_azure_labeling = u"Klassifizierung und Bezeichnung aktivieren",
        .azure_force_login = u"Anmeldung erzwingen",
        .enable_network_disk = u"Integration mit Netzlaufwerk aktivieren",

        .print_settings_group = u"Druckeinstellungen",

        .imanage_group = u"Konfiguration von iManage Work 10",
        .imanage_warning =
            u"Stellen Sie vor dem Aktivieren der Integration von iManage Work 10 "
            u"sicher, dass Quorlin PDF Pro auf dem iManage-Server konfiguriert ist.",
        .imanage_enabled = u"Integration mit iManage Work 10 aktivieren",
        .imanage_path_label = u"iManage-Pfad:",
        .imanage_hint =
            u"Geben Sie den Pfad zum Ordner iManage Work im iManage-"
            u"Installationsverzeichnis ein, zum Beispiel "
            u"\"C:\\Program Files\\iManage\\Work10\".",

        .help_group = u"Hilfe-Ressourcen",
        .knowledge_assistant = u"Wissensassistent aktivieren",

        .imanage_path_empty =
            u"Der iManage-Installationspfad darf nicht leer sein. Geben Sie einen "
            u"gültigen Pfad ein, oder deaktivieren Sie die iManage-Integration.",
        .version_format = u"v{}",
    };
    return texts;
}
