// Screenshots of each page as the page host shows it, for a person to look
// at. Runs only when QUORLIN_PAGE_SCREENSHOTS names a folder; the pictures
// are taken with ImageMagick's `import` from the X display.
#include "page_host.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"

#include <gtest/gtest.h>
#include <wx/window.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The page's rectangle and a margin around it, so its edges show.
void take_screenshot(const CWnd& page, const std::string& folder, const std::string& name) {
    pump(300);
    const wxRect rect = page.native()->GetScreenRect().Inflate(8);
    const std::string command = "import -window root -crop " + std::to_string(rect.width) + "x" +
                                std::to_string(rect.height) + "+" + std::to_string(rect.x) + "+" +
                                std::to_string(rect.y) + " +repage '" + folder + "/" + name + ".png'";
    std::printf("%s\n", command.c_str());
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(PageScreenshots, EachPage) {
    const char* folder = std::getenv("QUORLIN_PAGE_SCREENSHOTS");
    if (!folder) GTEST_SKIP() << "QUORLIN_PAGE_SCREENSHOTS not set";

    {
        page_host host;
        installation_options_dialog_controller page;
        host.show(page);
        page.enable_controls(false);
        page.enable_sign_integration_control(false);
        take_screenshot(page, folder, "general-locked");
        page.create_desktop_shortcut = page.enable_azure_labeling = page.azure_force_login = 1;
        page.UpdateData(FALSE);
        page.enable_controls(true);
        page.enable_sign_integration_control(true);
        take_screenshot(page, folder, "general");
    }
    {
        page_host host;
        print_settings_dialog_controller page;
        host.show(page);
        take_screenshot(page, folder, "print-settings");
    }
    {
        page_host host;
        imanage_dialog_controller page;
        host.show(page);
        page.imanage_enabled = 1;
        page.imanage_install_path = u"C:\\Program Files\\iManage\\Work10";
        page.UpdateData(FALSE);
        page.on_imanage_enabled_clicked();
        take_screenshot(page, folder, "imanage");
    }
    {
        page_host host;
        quorlin_ai_dialog_controller page;
        host.show(page);
        take_screenshot(page, folder, "help-resources");
    }
}

}  // namespace
