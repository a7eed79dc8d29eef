// What an administrator meets off the everyday path: a package on a folder
// they cannot write, packages that do not open and why, another product's
// package, a transform made for another product, and the keyboard.
#include "support/deployment_fixtures.h"
#include "window_driver.h"

#include "dialog/focused_window.h"
#include "dialog/wx_ui_services.h"
#include "installer/installer_package.h"
#include "resources/resource.h"
#include "support/fixture_package.h"
#include "support/temp_dir.h"
#include "system/user_folders.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <unistd.h>

using namespace window_test;
namespace fs = std::filesystem;

namespace {

bool contains(const std::u16string& text, const std::u16string& part) { return text.find(part) != text.npos; }

std::string utf8(const std::u16string& text) { return sys::utf16_to_utf8(text); }

// Makes a folder unwritable to this process while the object lives: as root
// (CI) by running as nobody, since root writes through any permission;
// otherwise by the folder's permissions.
class unwritable_folder {
public:
    explicit unwritable_folder(const fs::path& folder) : folder_(folder) {
        if (::geteuid() == 0) {
            fs::permissions(folder, fs::perms(0755));
            as_nobody_ = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0;
        } else {
            fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        }
    }
    ~unwritable_folder() {
        if (as_nobody_) {
            // Root again (the saved user id), the user first so the group may change.
            if (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0) std::abort();
        } else {
            fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
        }
    }
    unwritable_folder(const unwritable_folder&) = delete;
    unwritable_folder& operator=(const unwritable_folder&) = delete;
    bool holds() const { return !sys::folder_writable(folder_); }

private:
    fs::path folder_;
    bool as_nobody_ = false;
};

TEST(Administrator, ReadOnlyFolderKeepsTheCopyElsewhereAndAsksWhereTheTransformGoes) {
    test_support::temp_dir share("quorlin-share");
    test_support::temp_dir saved("quorlin-saved");
    const fs::path package = share / "pro.msi";
    build_pro_package(package);
    const std::string before = test_support::read_file(package);
    fs::permissions(saved.path(), fs::perms::all);
    const fs::path transform = saved / "chosen.mst";
    fs::path copy;
    {
        shown_window w;
        unwritable_folder read_only(share.path());
        if (!read_only.holds()) GTEST_SKIP() << "cannot make a folder unwritable for this process here";
        // Real clicks need a new connection to the display, which nobody may not
        // open: the commands are called as the clicks would call them.
        w.dialog.open_package(sys::from_fs_path(package));
        ASSERT_TRUE(w.dialog.package && w.dialog.package->is_open())
            << (w.ui.message_boxes.empty() ? "" : utf8(w.ui.message_boxes.front().text));
        copy = sys::to_fs_path(w.dialog.package->working_copy());
        EXPECT_TRUE(fs::exists(copy));
        EXPECT_NE(copy.parent_path(), share.path());
        ASSERT_EQ(w.ui.message_boxes.size(), 1u) << "said once";
        EXPECT_TRUE(contains(w.last_message(), u"cannot be written")) << utf8(w.last_message());
        EXPECT_TRUE(contains(w.last_message(), sys::from_fs_path(copy)));

        w.dialog.general_page->create_desktop_shortcut = 1;  // "0" in the package: now checked
        w.dialog.general_page->UpdateData(FALSE);
        w.ui.file_dialog_answers.push_back(sys::from_fs_path(transform));
        w.dialog.OnGenerate();
        ASSERT_EQ(w.ui.file_dialogs.size(), 1u) << "where to save";
        const file_dialog_request& save = w.ui.file_dialogs.back();
        EXPECT_FALSE(save.open);
        EXPECT_EQ(sys::to_fs_path(save.file_name), sys::documents_folder() / "pro.mst");
        EXPECT_EQ(w.last_message(), u"MST file was created successfully in\n" + sys::from_fs_path(transform));
        EXPECT_FALSE(fs::exists(share / "pro.mst"));
        w.dialog.OnCancel();
        EXPECT_FALSE(fs::exists(copy)) << "closing removes the copy kept elsewhere";
    }
    ASSERT_TRUE(fs::exists(transform));
    EXPECT_EQ(test_support::read_file(package), before);
    auto expected = oracle_view(package);
    const auto applied = oracle_view(package, transform);
    EXPECT_EQ(applied.properties.at("DT_SHORTCUT"), "1");
    EXPECT_EQ(applied.properties.at("WINSPARKLE_ENABLED"), "/b 0");
    EXPECT_EQ(applied.other_tables, expected.other_tables);
}

TEST(Administrator, FailedOpensSayWhyAndLeaveNoWorkingCopy) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path text = folder / "notes.msi";
    test_support::write_file(text, "not a package, only text\n");
    const fs::path package = folder / "pro.msi";
    build_pro_package(package);

    shown_window first;
    first.browse(text);
    ASSERT_EQ(first.ui.message_boxes.size(), 2u);
    EXPECT_EQ(first.ui.message_boxes[0].text,
              u"MSI file may be opened in another application.\n\n"
              u"It is not a Windows Installer package: the file is not a compound "
              u"file.");
    EXPECT_FALSE(fs::exists(folder / "notes_Tmp.msi")) << "removed at once, not when the window closes";

    first.browse(package);
    ASSERT_TRUE(first.dialog.package && first.dialog.package->is_open());
    shown_window second;
    second.browse(package);
    ASSERT_EQ(second.ui.message_boxes.size(), 2u);
    EXPECT_EQ(second.ui.message_boxes[0].text, u"Opening temporary database failed.\n\n" + sys::from_fs_path(package) +
                                                   u" is open in another window of this program.");
    EXPECT_TRUE(fs::exists(folder / "pro_Tmp.msi")) << "the first window's copy stays";
}

TEST(Administrator, AnotherProductsPackageIsNamedAsSuchAndGenerateSaysWhy) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path package = folder / "viewer.msi";
    test_support::build_msi_from_wxs(package, R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Other Viewer" Language="1033" Version="3.1.0" Manufacturer="Someone Else"
           UpgradeCode="{7C1B3E22-5A0D-4F7B-9E61-2B8C4D5E6F70}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Property Id="VIEWER_MODE" Value="full"/>
    <Directory Id="TARGETDIR" Name="SourceDir"/>
  </Product>
</Wix>)");
    shown_window w;
    w.browse(package);
    ASSERT_EQ(w.ui.message_boxes.size(), 1u);
    EXPECT_EQ(w.last_message(),
              u"This package does not hold the settings this utility changes; its transform would be empty.");
    click(*w.dialog.general_page, IDC_ENABLE_DROPBOX);
    w.tick_consent();
    w.generate();
    EXPECT_TRUE(contains(w.last_message(), u"Unable to create the transform file.\n\nno differences"))
        << utf8(w.last_message());
    EXPECT_FALSE(fs::exists(folder / "viewer.mst"));
}

TEST(Administrator, TransformOfAnotherProductIsNamedInTheQuestion) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path other = folder / "plain.msi";
    const fs::path package = folder / "pro.msi";
    build_plain_package(other);
    build_pro_package(package);
    {
        shown_window w;
        w.browse(other);
        w.tick_consent();
        w.generate();
    }
    ASSERT_TRUE(fs::exists(folder / "plain.mst"));
    fs::rename(folder / "plain.mst", folder / "pro.mst");
    shown_window w;
    w.ui.message_box_answers.push_back(IDNO);
    w.browse(package);
    ASSERT_FALSE(w.ui.message_boxes.empty());
    const std::u16string& question = w.ui.message_boxes.front().text;
    EXPECT_TRUE(contains(question, u"It was made for another product or version:")) << utf8(question);
    EXPECT_TRUE(contains(question, u"{0E5C8E53-3C2B-4E3F-9B1F-3A3C2D1E0F02}")) << "the transform's product";
    EXPECT_FALSE(is_checked(*w.dialog.general_page, IDC_CREATE_DESKTOP_SHORTCUT)) << "No: the package's own \"0\"";
}

// Shows questions in the toolkit's own box and answers them with the real
// Escape key, pressed once the box is on screen and holds the keyboard;
// other boxes and the file dialog go to the recorder. Everything happens
// from a timer inside the box's modal loop, and a box still open after the
// time limit is closed as Yes and noted, so a lost key fails the test
// instead of leaving the modal loop waiting for ever.
class escape_on_questions : public ui_services {
public:
    explicit escape_on_questions(window_ui_services& recorder) : recorder_(recorder) {}

    int message_box(const std::u16string& text, UINT type) override {
        if ((type & MB_TYPEMASK) != MB_YESNO) return recorder_.message_box(text, type);
        recorder_.message_boxes.push_back({text, type});
        const auto start = std::chrono::steady_clock::now();
        bool pressed = false;
        wxTimer presser;
        presser.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            wxDialog* box = modal_box();
            if (!box) return;
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) {
                (pressed ? escape_ignored : never_had_keyboard) = true;
                box->EndModal(wxID_YES);
            } else if (!box->IsShownOnScreen()) {
                return;  // not mapped yet: a key now would go to another window
            } else if (!pressed && holds_keyboard(box)) {
                wxUIActionSimulator().Char(WXK_ESCAPE);  // flushed when the simulator goes
                pressed = true;
            } else if (!pressed) {
                // Without a window manager, X gives the keyboard to the window
                // under the pointer or to the one that asked for it last.
                box->Raise();
                const wxRect rect = box->GetScreenRect();
                wxUIActionSimulator().MouseMove(rect.x + rect.width / 2, rect.y + rect.height / 2);
            }
        });
        presser.Start(50);
        const int answer = real_.message_box(text, type);
        presser.Stop();
        return answer;
    }
    std::optional<std::u16string> choose_file(const file_dialog_request& request) override {
        return recorder_.choose_file(request);
    }
    void show_balloon_tip(const balloon_tip_request& request) override { recorder_.show_balloon_tip(request); }
    void open_url(const std::u16string& url) override { recorder_.open_url(url); }

    bool never_had_keyboard = false;
    bool escape_ignored = false;

private:
    static wxDialog* modal_box() {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* box = dynamic_cast<wxDialog*>(window); box && box->IsModal()) return box;
        return nullptr;
    }
    static bool holds_keyboard(wxWindow* box) {
        wxWindow* focus = wxWindow::FindFocus();
        return focus && wxGetTopLevelParent(focus) == box;
    }

    window_ui_services& recorder_;
    wx_ui_services real_;
};

// The real Escape key on "load the earlier transform's settings?" means
// No: the page shows the package's own value, not the transform's.
TEST(Administrator, EscapeOnTheContinueQuestionKeepsThePackagesValues) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path package = folder / "pro.msi";
    build_pro_package(package);
    {
        shown_window w;
        w.browse(package);
        click(*w.dialog.general_page, IDC_CREATE_DESKTOP_SHORTCUT);  // "0" in the package
        ASSERT_TRUE(is_checked(*w.dialog.general_page, IDC_CREATE_DESKTOP_SHORTCUT));
        w.tick_consent();
        w.generate();
    }
    ASSERT_TRUE(fs::exists(folder / "pro.mst"));
    shown_window w;
    escape_on_questions keyboard(w.ui);
    scoped_ui_services installed(keyboard);
    w.browse(package);
    EXPECT_FALSE(keyboard.never_had_keyboard) << "the question never held the keyboard";
    EXPECT_FALSE(keyboard.escape_ignored) << "Escape did not close the question";
    ASSERT_EQ(w.ui.message_boxes.size(), 1u);
    EXPECT_TRUE(contains(w.ui.message_boxes[0].text, u"Load its settings instead of the package's defaults?"));
    EXPECT_FALSE(is_checked(*w.dialog.general_page, IDC_CREATE_DESKTOP_SHORTCUT)) << "Escape loaded the transform";
}

// Escape from a page's text field closes the window through its own cancel
// path, which removes the working copy.
TEST(Administrator, EscapeFromATextFieldClosesTheWindow) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path package = folder / "pro.msi";
    build_pro_package(package);
    shown_window w;
    w.browse(package);
    const fs::path copy = folder / "pro_Tmp.msi";
    ASSERT_TRUE(fs::exists(copy));
    w.select_page(w.dialog.imanage_page);
    press_key_in(*w.dialog.imanage_page, IDC_IMANAGE_PATH, WXK_ESCAPE);
    EXPECT_FALSE(is_visible(w.dialog));
    EXPECT_FALSE(fs::exists(copy));
}

// The id of the control holding the keyboard's focus, -1 for none.
int focused_id() {
    CWnd* focus = CWnd::FromHandle(focused_window());
    return focus ? focus->GetDlgCtrlID() : -1;
}

// Tab walks the window in its templates' order, which is the reading order
// but for the network disk box after the Azure group: the main window's
// controls, then the page in front. The path field is never enabled; the
// frame behind the pages and the labels take no stop; the link is reached
// although it was hidden when the window was built; the language list
// reports its own id.
TEST(Administrator, TabWalksTheWindowInTemplateOrder) {
    test_support::temp_dir folder("quorlin-window");
    const fs::path package = folder / "pro.msi";
    build_pro_package(package);
    shown_window w;
    w.browse(package);
    w.tick_consent();
    native_item(w.dialog, IDC_BROWSE)->SetFocus();
    pump(50);
    if (focused_id() != IDC_BROWSE) GTEST_SKIP() << "no keyboard focus on this display";
    std::vector<int> walk;
    wxUIActionSimulator keyboard;
    while (walk.size() < 30 && (walk.empty() || walk.back() != IDC_BROWSE)) {
        keyboard.Char(WXK_TAB);
        pump(50);
        walk.push_back(focused_id());
    }
    EXPECT_EQ(walk, (std::vector<int>{IDC_GENERATE, IDC_PAGE_TREE, IDC_AGREEMENT_LINK, IDC_CONSENT_CHECK,
                                      IDC_CREATE_DESKTOP_SHORTCUT, IDC_INSTALL_OFFICE_ADDINS,
                                      IDC_INSTALL_PRINTER_DRIVER, IDC_ENABLE_SIGN_INTEGRATION,
                                      IDC_ENABLE_CRASH_REPORTING, IDC_LANGUAGE_LIST, IDC_ENABLE_DROPBOX, IDC_ENABLE_BOX,
                                      IDC_ENABLE_ONEDRIVE, IDC_ENABLE_SHAREPOINT, IDC_ENABLE_AZURE_LABELING,
                                      IDC_AZURE_FORCE_LOGIN, IDC_ENABLE_NETWORK_DISK, IDC_BROWSE}));
}

}  // namespace
