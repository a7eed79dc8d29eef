// Screenshots of the main window for a person to look at: empty, loaded,
// each page, the stop path's balloon. Runs only when QUORLIN_WINDOW_SCREENSHOTS
// names a folder; pictures are taken from the X display with ImageMagick.
#include "deployment_fixtures.h"
#include "window_driver.h"

#include "app/language_module.h"
#include "dialog/wx_ui_services.h"
#include "system/system_locale.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <wx/toplevel.h>

#include <cstdlib>

using namespace window_test;

namespace {

void take_screenshot(const CWnd& window, const std::string& name) {
    pump(400);
    const wxRect rect = window.native()->GetScreenRect();
    const std::string command = "import -window root -crop " + std::to_string(rect.width + 40) + "x" +
                                std::to_string(rect.height + 80) + "+" + std::to_string(std::max(0, rect.x - 20)) +
                                "+" + std::to_string(std::max(0, rect.y - 40)) + " '" +
                                std::getenv("QUORLIN_WINDOW_SCREENSHOTS") + "/" + name + ".png'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(Screenshots, MainWindow) {
    if (!std::getenv("QUORLIN_WINDOW_SCREENSHOTS")) GTEST_SKIP() << "QUORLIN_WINDOW_SCREENSHOTS not set";
    // QUORLIN_SCREENSHOT_PACKAGE may name a package to show (the sample); it is
    // copied first, since the stop path leaves a working copy beside it.
    test_support::temp_dir folder("quorlin-shots");
    const auto package = folder / "Quorlin PDF Pro.msi";
    if (const char* chosen = std::getenv("QUORLIN_SCREENSHOT_PACKAGE"))
        std::filesystem::copy_file(chosen, package);
    else
        build_pro_package(package);

    shown_window w;
    take_screenshot(w.dialog, "main-empty");
    w.browse(package);
    take_screenshot(w.dialog, "main-loaded");
    const char* names[] = {"page-general", "page-print", "page-imanage", "page-help"};
    for (std::size_t i = 0; i < w.dialog.pages.size(); ++i) {
        w.select_page(w.dialog.pages[i]);
        take_screenshot(w.dialog, names[i]);
    }
    // The stop path with the real balloon tip.
    struct real_balloon : recording_ui_services {
        void show_balloon_tip(const balloon_tip_request& request) override { real.show_balloon_tip(request); }
        wx_ui_services real;
    } balloon;
    scoped_ui_services shown(balloon);
    w.dialog.imanage_page->GetDlgItem(1067)->SetWindowText(u"  ");
    w.tick_consent();
    w.select_page(w.dialog.pages[0]);
    w.generate();
    take_screenshot(w.dialog, "stop-path-balloon");
}

TEST(Screenshots, GermanMainWindow) {
    if (!std::getenv("QUORLIN_WINDOW_SCREENSHOTS")) GTEST_SKIP() << "QUORLIN_WINDOW_SCREENSHOTS not set";
    test_support::temp_dir folder("quorlin-shots");
    build_pro_package(folder / "Quorlin PDF Pro.msi");
    test_support::write_file(folder / "locale", "LANG=de_DE.UTF-8\n");
    sys::set_locale_files({folder / "locale"});
    sys::module_handle module = load_language_module(u"quorlin-deploy");
    ASSERT_NE(module, nullptr);
    {
        shown_window w;
        take_screenshot(w.dialog, "german-empty");
        w.browse(folder / "Quorlin PDF Pro.msi");
        w.tick_consent();
        take_screenshot(w.dialog, "german-loaded");
    }
    AfxSetResourceHandle(nullptr);
    sys::FreeLibrary(module);
    sys::set_locale_files({});
}

}  // namespace
