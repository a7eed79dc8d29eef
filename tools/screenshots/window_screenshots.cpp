// Screenshots of the main window for a person to look at: empty, loaded,
// each page, the stop path's balloon, the boxes off the everyday path (a
// read-only share as a user who is not root among them), and the German
// window. Needs a display (xvfb-run) and ImageMagick's import.
//   window_screenshots FOLDER [PACKAGE]
// PACKAGE (for instance the sample) is copied first, since the stop path
// leaves a working copy beside it; without it a test package is built.
#include "app/language_module.h"
#include "dialog/wx_ui_services.h"
#include "resources/program_resources.h"
#include "support/temp_dir.h"
#include "system/system_locale.h"
#include "support/deployment_fixtures.h"
#include "window_driver.h"

#include "resources/resource.h"
#include "support/fixture_package.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
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

// Real message boxes and file dialogs, each photographed over the main
// window and then answered: No to a question, OK otherwise; a file dialog
// takes what it proposes when `accept_saving` says so, else it is cancelled.
struct photographed_boxes : recording_ui_services {
    int message_box(const std::u16string& text, UINT type) override {
        recording_ui_services::message_box(text, type);
        const int answer = (type & MB_TYPEMASK) == MB_YESNO ? wxID_NO : wxID_OK;
        photograph_when_shown(name + "-" + std::to_string(++count), [answer](wxDialog& box) { box.EndModal(answer); });
        return real.message_box(text, type);
    }
    std::optional<std::u16string> choose_file(const file_dialog_request& request) override {
        file_dialogs.push_back(request);
        photograph_when_shown(name + "-save",
                              [this](wxDialog& box) { box.EndModal(accept_saving ? wxID_OK : wxID_CANCEL); });
        return real.choose_file(request);
    }
    // Once the modal box that is about to open is on screen: its picture,
    // then `answer`. A timer looks for it from inside the box's own modal
    // loop. The toolkit names every modal dialog to the hook, the file
    // dialog too, which is not among its top-level windows on GTK.
    void photograph_when_shown(const std::string& picture, std::function<void(wxDialog&)> answer) {
        const fs::path png = (staging.empty() ? folder : staging) / (picture + ".png");
        watcher = std::make_unique<wxTimer>();
        watcher->Bind(wxEVT_TIMER, [png, answer, this](wxTimerEvent&) {
            if (wxDialog* box = modal.current; box && box->IsShownOnScreen()) {
                watcher->Stop();
                pump(400);
                // The file dialog's own size is not known to the toolkit: the whole screen.
                wxRect rect = wxGetClientDisplayRect();
                if (!dynamic_cast<wxFileDialog*>(box)) {
                    rect = box->GetScreenRect().Inflate(20);
                    if (window) rect.Union(window->GetScreenRect().Inflate(8));
                }
                const std::string command = "import -window root -crop " + std::to_string(rect.width) + "x" +
                                            std::to_string(rect.height) + "+" + std::to_string(std::max(0, rect.x)) +
                                            "+" + std::to_string(std::max(0, rect.y)) + " +repage '" + png.string() +
                                            "'";
                if (std::system(command.c_str()) != 0)
                    ++failures;
                else if (staging.empty())
                    std::printf("%s\n", png.c_str());
                answer(*box);
            }
        });
        watcher->Start(50);
    }
    wx_ui_services real;
    std::string name;
    int count = 0;
    wxWindow* window = nullptr;
    bool accept_saving = false;
    fs::path staging;  // where pictures go while the folder cannot be written
    std::unique_ptr<wxTimer> watcher;
    struct modal_dialogs : wxModalDialogHook {
        modal_dialogs() { Register(); }
        ~modal_dialogs() override { Unregister(); }
        int Enter(wxDialog* dialog) override {
            current = dialog;
            return wxID_NONE;
        }
        void Exit(wxDialog*) override { current = nullptr; }
        wxDialog* current = nullptr;
    } modal;
};

// Makes this process a user who is not root, while the object lives: root
// writes through any permission, so a root run becomes nobody, with a home
// folder of its own and a copy of the display's authority it can read (the
// pictures and real clicks open new connections to the display).
class as_a_user {
public:
    explicit as_a_user(const fs::path& work) {
        if (::geteuid() != 0) return;
        const fs::path home = work / "home";
        fs::create_directories(home / "Documents");
        give_to_nobody(home);
        give_to_nobody(home / "Documents");
        if (const char* authority = std::getenv("XAUTHORITY")) {
            authority_ = authority;
            fs::copy_file(authority, work / "xauthority", fs::copy_options::overwrite_existing);
            give_to_nobody(work / "xauthority");
            ::setenv("XAUTHORITY", (work / "xauthority").c_str(), 1);
        }
        if (const char* old = std::getenv("HOME")) home_ = old;
        ::setenv("HOME", home.c_str(), 1);
        if (::setresgid(65534, 65534, 0) != 0 || ::setresuid(65534, 65534, 0) != 0) std::abort();
        switched_ = true;
    }
    ~as_a_user() {
        if (!switched_) return;
        // Root again (the saved user id), the user first so the group may change.
        if (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0) std::abort();
        ::setenv("HOME", home_.c_str(), 1);
        if (!authority_.empty()) ::setenv("XAUTHORITY", authority_.c_str(), 1);
    }
    as_a_user(const as_a_user&) = delete;
    as_a_user& operator=(const as_a_user&) = delete;

    static void give_to_nobody(const fs::path& path) {
        if (::chown(path.c_str(), 65534, 65534) != 0) std::abort();
    }

private:
    bool switched_ = false;
    std::string authority_;
    std::string home_;
};

// A package on a share its user cannot write: the notice that the working
// copy went elsewhere, the save dialog "Generate MST File" then shows, and
// the box saying where the transform went. The package and its transform
// are left in FOLDER/read-only-share/ for the oracle.
void read_only_share(shown_window& w, photographed_boxes& boxes, const fs::path& work, const fs::path& package) {
    const fs::path share = work / "share";
    fs::create_directories(share);
    fs::copy_file(package, share / "Quorlin PDF Pro.msi");
    fs::permissions(work, fs::perms(0755));
    fs::permissions(share, fs::perms(0555));
    boxes.staging = work / "pictures";
    fs::create_directories(boxes.staging);
    fs::permissions(boxes.staging, fs::perms(0777));
    {
        as_a_user user(work);
        boxes.name = "read-only-folder";
        boxes.count = 0;
        w.dialog.open_package(sys::from_fs_path(share / "Quorlin PDF Pro.msi"));
        click(*w.dialog.general_page, IDC_CREATE_DESKTOP_SHORTCUT);  // "0" in the package
        w.tick_consent();
        boxes.name = "read-only-folder-generate";
        boxes.count = 0;
        boxes.accept_saving = true;  // where the dialog starts: the user's documents
        click(w.dialog, IDC_GENERATE);
        boxes.accept_saving = false;
    }
    for (const auto& picture : fs::directory_iterator(boxes.staging)) {
        fs::copy_file(picture.path(), folder / picture.path().filename(), fs::copy_options::overwrite_existing);
        std::printf("%s\n", (folder / picture.path().filename()).c_str());
    }
    boxes.staging.clear();
    fs::permissions(share, fs::perms(0755));
    const fs::path kept = folder / "read-only-share";
    fs::create_directories(kept);
    for (const fs::path& file : {share / "Quorlin PDF Pro.msi", work / "home/Documents/Quorlin PDF Pro.mst"})
        if (fs::exists(file)) fs::copy_file(file, kept / file.filename(), fs::copy_options::overwrite_existing);
}

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
        // Called as "Browse..." would call it, with no file dialog.
        w.dialog.open_package(sys::from_fs_path(file));
    };

    test_support::write_file(work / "notes.msi", "not a package, only text\n");
    open("not-a-package", work / "notes.msi");

    read_only_share(w, boxes, work, package);

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
