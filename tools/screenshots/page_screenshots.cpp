// Screenshots of each page as the page host shows it, for a person to look
// at, once with the program's resources and once with the German module's.
// Needs a display (xvfb-run) and ImageMagick's import.
//   page_screenshots FOLDER
#include "page_host.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"
#include "resources/program_resources.h"
#include "resources/resource.h"

#include <wx/window.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int failures = 0;

// The window and a margin around it, so its edges show.
void take_screenshot(const CWnd& window, const std::string& folder, const std::string& name) {
    const std::string png = folder + "/" + name + ".png";
    if (save_screenshot(window, png)) {
        std::printf("%s\n", png.c_str());
    } else {
        std::fprintf(stderr, "page_screenshots: could not save %s\n", png.c_str());
        ++failures;
    }
}

// Every page with the resources in use, the names ending in `suffix`.
void screenshot_pages(const std::string& folder, const std::string& suffix) {
    {
        page_host host;
        installation_options_dialog_controller page;
        host.show(page);
        page.enable_controls(false);
        page.enable_sign_integration_control(false);
        take_screenshot(page, folder, "general-locked" + suffix);
        page.create_desktop_shortcut = page.enable_azure_labeling = page.azure_force_login = 1;
        page.UpdateData(FALSE);
        page.enable_controls(true);
        page.enable_sign_integration_control(true);
        take_screenshot(page, folder, "general" + suffix);
    }
    {
        page_host host;
        print_settings_dialog_controller page;
        host.show(page);
        take_screenshot(page, folder, "print-settings" + suffix);
    }
    {
        page_host host;
        imanage_dialog_controller page;
        host.show(page);
        page.imanage_enabled = 1;
        page.imanage_install_path = u"C:\\Program Files\\iManage\\Work10";
        page.UpdateData(FALSE);
        page.on_imanage_enabled_clicked();
        take_screenshot(page, folder, "imanage" + suffix);
    }
    {
        page_host host;
        quorlin_ai_dialog_controller page;
        host.show(page);
        take_screenshot(page, folder, "help-resources" + suffix);
    }
    // The bare main-window template, to see its captions fit: first with the
    // consent sentence as plain text, then with its links.
    {
        CDialog main(IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG);
        if (!main.Create(IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG)) {
            ++failures;
            return;
        }
        main.GetDlgItem(IDC_AGREEMENT_LINK)->ShowWindow(SW_HIDE);
        main.ShowWindow(SW_SHOW);
        take_screenshot(main, folder, "main-template" + suffix);
        main.GetDlgItem(IDC_CONSENT_STATIC)->ShowWindow(SW_HIDE);
        main.GetDlgItem(IDC_AGREEMENT_LINK)->ShowWindow(SW_SHOW);
        take_screenshot(main, folder, "main-template-links" + suffix);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: page_screenshots FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    AfxInitToolkit(argc, argv);
    set_program_resource_source(&program_resource_source());
    screenshot_pages(folder, "");

    void* module = dlopen(QUORLIN_GERMAN_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "page_screenshots: %s\n", dlerror());
        return 1;
    }
    auto entry = reinterpret_cast<resource_source_entry>(dlsym(module, resource_source_entry_name));
    if (!entry) return 1;
    set_resource_source(entry());
    screenshot_pages(folder, "-de");
    set_resource_source(nullptr);
    return failures == 0 ? 0 : 1;
}
