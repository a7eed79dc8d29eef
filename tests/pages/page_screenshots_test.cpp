// Screenshots of each page as the page host shows it, for a person to look
// at. Runs only when QUORLIN_PAGE_SCREENSHOTS names a folder; the pictures
// are taken with ImageMagick's `import` from the X display, once with the
// program's resources and once with the German module's.
#include "page_host.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"
#include "resources/resource.h"

#include <gtest/gtest.h>
#include <wx/window.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The window's client area and a margin around it, so its edges show.
void take_screenshot(const CWnd& window, const std::string& folder, const std::string& name) {
    pump(300);
    wxWindow* native = window.native();
    const wxRect rect = wxRect(native->ClientToScreen(wxPoint(0, 0)), native->GetClientSize()).Inflate(8);
    const std::string command = "import -window root -crop " + std::to_string(rect.width) + "x" +
                                std::to_string(rect.height) + "+" + std::to_string(rect.x) + "+" +
                                std::to_string(rect.y) + " +repage '" + folder + "/" + name + ".png'";
    std::printf("%s\n", command.c_str());
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
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
        ASSERT_TRUE(main.Create(IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG));
        main.GetDlgItem(IDC_AGREEMENT_LINK)->ShowWindow(SW_HIDE);
        main.ShowWindow(SW_SHOW);
        take_screenshot(main, folder, "main-template" + suffix);
        main.GetDlgItem(IDC_CONSENT_STATIC)->ShowWindow(SW_HIDE);
        main.GetDlgItem(IDC_AGREEMENT_LINK)->ShowWindow(SW_SHOW);
        take_screenshot(main, folder, "main-template-links" + suffix);
        main.DestroyWindow();
    }
}

TEST(PageScreenshots, EachPageInEnglishAndGerman) {
    const char* folder = std::getenv("QUORLIN_PAGE_SCREENSHOTS");
    if (!folder) GTEST_SKIP() << "QUORLIN_PAGE_SCREENSHOTS not set";

    screenshot_pages(folder, "");

    void* module = dlopen(QUORLIN_GERMAN_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<resource_source_entry>(dlsym(module, resource_source_entry_name));
    ASSERT_NE(entry, nullptr);
    set_resource_source(entry());
    screenshot_pages(folder, "-de");
    set_resource_source(nullptr);
}

}  // namespace
