// Screenshots of the main window for a person to look at: empty, loaded,
// each page, the stop path's balloon, and the German window. Needs a display
// (xvfb-run) and ImageMagick's import.
//   window_screenshots FOLDER [PACKAGE]
// PACKAGE (for instance the sample) is copied first, since the stop path
// leaves a working copy beside it; without it a test package is built.
#include "app/language_module.h"
#include "dialog/wx_ui_services.h"
#include "resources/program_resources.h"
#include "support/temp_dir.h"
#include "system/system_locale.h"
#include "deployment_fixtures.h"
#include "window_driver.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace window_test;
namespace fs = std::filesystem;

namespace {

fs::path folder;
int failures = 0;

void take_screenshot(const CWnd& window, const std::string& name) {
    const fs::path png = folder / (name + ".png");
    if (save_screenshot(window, png, 20)) {
        std::printf("%s\n", png.c_str());
    } else {
        std::fprintf(stderr, "window_screenshots: could not save %s\n", png.c_str());
        ++failures;
    }
}

void main_window(const fs::path& package) {
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

void german_main_window(const fs::path& work) {
    build_pro_package(work / "Quorlin PDF Pro.msi");
    test_support::write_file(work / "locale", "LANG=de_DE.UTF-8\n");
    sys::set_locale_files({work / "locale"});
    sys::module_handle module = load_language_module(u"quorlin-deploy");
    if (!module) {
        std::fprintf(stderr, "window_screenshots: the German module did not load (run in bin/)\n");
        ++failures;
    } else {
        shown_window w;
        take_screenshot(w.dialog, "german-empty");
        w.browse(work / "Quorlin PDF Pro.msi");
        w.tick_consent();
        take_screenshot(w.dialog, "german-loaded");
    }
    AfxSetResourceHandle(nullptr);
    if (module) sys::FreeLibrary(module);
    sys::set_locale_files({});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: window_screenshots FOLDER [PACKAGE]\n");
        return 2;
    }
    folder = fs::absolute(argv[1]);
    const fs::path chosen = argc > 2 ? fs::absolute(argv[2]) : fs::path();
    AfxInitToolkit(argc, argv);
    set_program_resource_source(&program_resource_source());
    fs::create_directories(folder);

    test_support::temp_dir work("quorlin-shots");
    const fs::path package = work / "Quorlin PDF Pro.msi";
    if (!chosen.empty())
        fs::copy_file(chosen, package);
    else
        build_pro_package(package);
    main_window(package);

    test_support::temp_dir german("quorlin-shots");
    german_main_window(german.path());
    return failures == 0 ? 0 : 1;
}
