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

#include "resources/resource.h"
#include "support/fixture_package.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/uiaction.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
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
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "de_DE.UTF-8", 1);
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
    ::unsetenv("LANG");
}

// Real message boxes, each photographed over the main window and then
// answered (No to a question, OK otherwise).
struct photographed_boxes : recording_ui_services {
    int message_box(const std::u16string& text, UINT type) override {
        recording_ui_services::message_box(text, type);
        const fs::path png = folder / (name + "-" + std::to_string(++count) + ".png");
        const bool question = (type & MB_TYPEMASK) == MB_YESNO;
        wxTheApp->CallAfter([png, question, this] {
            for (wxWindow* top : wxTopLevelWindows) {
                auto* box = dynamic_cast<wxDialog*>(top);
                if (!box || !box->IsModal()) continue;
                for (int i = 0; i < 20; ++i) {
                    wxMilliSleep(20);
                    wxTheApp->Yield(true);
                }
                wxRect rect = box->GetScreenRect().Inflate(20);
                if (window) rect.Union(window->GetScreenRect().Inflate(8));
                const std::string command = "import -window root -crop " + std::to_string(rect.width) + "x" +
                                            std::to_string(rect.height) + "+" + std::to_string(std::max(0, rect.x)) +
                                            "+" + std::to_string(std::max(0, rect.y)) + " +repage '" + png.string() +
                                            "'";
                if (std::system(command.c_str()) == 0)
                    std::printf("%s\n", png.c_str());
                else
                    ++failures;
                box->EndModal(question ? wxID_NO : wxID_OK);
                return;
            }
        });
        return real.message_box(text, type);
    }
    wx_ui_services real;
    std::string name;
    int count = 0;
    wxWindow* window = nullptr;
};

// What an administrator meets off the everyday path: a read-only folder,
// another product's package, a file that is no package, and the keyboard's
// focus on the tree and on the agreement links.
void administrator_windows(const fs::path& work, const fs::path& package) {
    shown_window w;
    photographed_boxes boxes;
    boxes.window = w.dialog.native();
    scoped_ui_services shown(boxes);
    const auto open = [&](const std::string& name, const fs::path& file) {
        boxes.name = name;
        boxes.count = 0;
        // Called as "Browse..." would call it: a real click needs a new
        // connection to the display, which nobody may not open.
        w.dialog.open_package(sys::from_fs_path(file));
    };

    test_support::write_file(work / "notes.msi", "not a package, only text\n");
    open("not-a-package", work / "notes.msi");

    const fs::path share = work / "share";
    fs::create_directories(share);
    fs::copy_file(package, share / "Quorlin PDF Pro.msi");
    fs::permissions(share, fs::perms(0755));
    const bool as_nobody = ::geteuid() == 0;
    if (as_nobody) {
        if (::setresgid(65534, 65534, 0) != 0 || ::setresuid(65534, 65534, 0) != 0) return;
    } else {
        fs::permissions(share, fs::perms(0555));
    }
    open("read-only-folder", share / "Quorlin PDF Pro.msi");
    if (as_nobody) {
        if (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0) std::abort();
    } else {
        fs::permissions(share, fs::perms(0755));
    }

    test_support::build_msi_from_wxs(work / "viewer.msi", R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Other Viewer" Language="1033" Version="3.1.0" Manufacturer="Someone Else"
           UpgradeCode="{7C1B3E22-5A0D-4F7B-9E61-2B8C4D5E6F70}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir"/>
  </Product>
</Wix>)");
    open("other-product", work / "viewer.msi");
    w.tick_consent();
    boxes.name = "other-product-generate";
    boxes.count = 0;
    click(w.dialog, IDC_GENERATE);

    // The keyboard's focus, as Tab leaves it.
    open("focus", package);
    native_item(w.dialog, IDC_GENERATE)->SetFocus();
    pump(50);
    wxUIActionSimulator().Char(WXK_TAB);
    take_screenshot(w.dialog, "focus-tree");
    wxUIActionSimulator().Char(WXK_TAB);
    take_screenshot(w.dialog, "focus-link");
    wxUIActionSimulator().Char(WXK_TAB);
    wxUIActionSimulator().Char(WXK_TAB);
    take_screenshot(w.dialog, "focus-page-check-box");
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

    test_support::temp_dir off_the_path("quorlin-shots");
    administrator_windows(off_the_path.path(), package);

    test_support::temp_dir german("quorlin-shots");
    german_main_window(german.path());
    return failures == 0 ? 0 : 1;
}
