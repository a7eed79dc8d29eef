// Settings carried forward in the window: the question about the transform
// beside the package (Yes: its settings; No: the package's defaults), a
// package named on the command line, and the same choices made in the
// window and on the command line giving the same transform.
#include "support/deployment_fixtures.h"
#include "window_driver.h"

#include "resources/resource.h"
#include "support/file_guard.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>
#include <wx/window.h>

#include <cstdlib>
#include <sstream>

using namespace window_test;
namespace fs = std::filesystem;

namespace {

// What every page shows: check boxes by control id, the two lists' texts,
// the iManage path.
struct pages_shown {
    std::map<int, bool> checks;
    std::u16string language, print_profile, imanage_path;
    bool operator==(const pages_shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const pages_shown& p) {
    for (const auto& [id, on] : p.checks) out << id << (on ? "=on " : "=off ");
    return out << "language=" << sys::utf16_to_utf8(p.language) << " print=" << sys::utf16_to_utf8(p.print_profile)
               << " path=" << sys::utf16_to_utf8(p.imanage_path);
}

CComboBox& list(CWnd* page, int id) { return *static_cast<CComboBox*>(page->GetDlgItem(id)); }

pages_shown shown_on(CQuorlin_EnterpriseDeploymentDlg& d) {
    pages_shown p;
    for (const auto& row : deployment::deployment_settings_map())
        if (row.check) p.checks[row.control] = is_checked(*page_window(d, row.page), row.control);
    auto text_of = [](CComboBox& box) { return list_text(box, box.GetCurSel()); };
    p.language = text_of(list(d.general_page, IDC_LANGUAGE_LIST));
    p.print_profile = text_of(list(d.print_page, IDC_PRINT_PROFILE));
    p.imanage_path = d.imanage_page->GetDlgItem(IDC_IMANAGE_PATH)->GetWindowText();
    return p;
}

// The administrator's changes after loading the pro fixture: boxes flipped
// by clicks, another language and print profile, another iManage path.
void make_choices(shown_window& w) {
    auto& d = w.dialog;
    for (int id : {IDC_CREATE_DESKTOP_SHORTCUT, IDC_INSTALL_PRINTER_DRIVER, IDC_ENABLE_BOX, IDC_ENABLE_ONEDRIVE,
                   IDC_ENABLE_CRASH_REPORTING})
        click(*d.general_page, id);
    list(d.general_page, IDC_LANGUAGE_LIST).SetCurSel(4);  // Français
    list(d.print_page, IDC_PRINT_PROFILE).SetCurSel(1);    // Optimize for PCL driver
    d.imanage_page->GetDlgItem(IDC_IMANAGE_PATH)->SetWindowText(u"  D:\\iManage\\Work  ");
    w.select_page(d.help_page);
    click(*d.help_page, IDC_KNOWLEDGE_ASSISTANT);
}

// The same choices for the command line.
const std::vector<std::string> choices_as_settings{"--set", "create_desktop_shortcut=on",
                                                   "--set", "install_printer_driver=on",
                                                   "--set", "enable_box=on",
                                                   "--set", "enable_onedrive=off",
                                                   "--set", "enable_crash_reporting=on",
                                                   "--set", "application_language=fr-FR",
                                                   "--set", "print_profile=pcl",
                                                   "--set", "imanage_install_path=D:\\iManage\\Work",
                                                   "--set", "knowledge_assistant_enabled=off"};

void screenshot_if_asked(const CWnd& window, const std::string& name) {
    const char* folder = std::getenv("QUORLIN_WINDOW_SCREENSHOTS");
    if (!folder) return;
    pump(400);
    const wxRect rect = window.native()->GetScreenRect();
    const std::string command = "import -window root -crop " + std::to_string(rect.width + 40) + "x" +
                                std::to_string(rect.height + 80) + "+" + std::to_string(std::max(0, rect.x - 20)) +
                                "+" + std::to_string(std::max(0, rect.y - 40)) + " '" + folder + "/" + name + ".png'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

// Summary information without the two time stamps (created, last saved).
std::string summary_without_times(const fs::path& package, const fs::path& transform) {
    std::istringstream in(test_support::oracle_transform_summary(package, transform));
    std::string line, kept;
    while (std::getline(in, line))
        if (line.rfind("MSTSUMMARY\t12\t", 0) != 0 && line.rfind("MSTSUMMARY\t13\t", 0) != 0) kept += line + "\n";
    return kept;
}

class CarriedForward : public testing::Test {
protected:
    void SetUp() override { build_pro_package(pro); }
    test_support::temp_dir folder{"quorlin-carried"};
    fs::path pro = folder / "Quorlin PDF Pro.msi";
    fs::path mst = folder / "Quorlin PDF Pro.mst";
};

TEST_F(CarriedForward, YesLoadsTheTransformsSettingsAndNoThePackagesDefaults) {
    test_support::file_unchanged_guard package_kept(pro);
    pages_shown defaults, chosen;
    {
        shown_window w;
        w.browse(pro);
        ASSERT_TRUE(w.ui.message_boxes.empty())
            << sys::utf16_to_utf8(w.last_message()) << " (no transform yet, no question)";
        defaults = shown_on(w.dialog);
        make_choices(w);
        w.tick_consent();
        w.generate();
        ASSERT_TRUE(fs::exists(mst)) << sys::utf16_to_utf8(w.last_message());
        chosen = shown_on(w.dialog);
        ASSERT_NE(chosen, defaults);
        EXPECT_EQ(chosen.imanage_path, u"D:\\iManage\\Work") << "trimmed when written";
    }
    test_support::file_unchanged_guard transform_kept(mst);

    {
        shown_window w;
        w.ui.message_box_answers.push_back(IDYES);
        w.browse(pro);
        ASSERT_EQ(w.ui.message_boxes.size(), 1u);
        EXPECT_EQ(w.ui.message_boxes[0].text, u"A transform for this package already exists:\n" +
                                                  sys::utf8_to_utf16(mst.string()) +
                                                  u"\n\nLoad its settings instead of the package's defaults?");
        EXPECT_EQ(w.ui.message_boxes[0].type & MB_YESNO, static_cast<UINT>(MB_YESNO));
        EXPECT_EQ(shown_on(w.dialog), chosen);
        screenshot_if_asked(w.dialog, "continued-general");
        w.select_page(w.dialog.imanage_page);
        screenshot_if_asked(w.dialog, "continued-imanage");

        // Generating again without changes: the same tables as the first time.
        fs::rename(mst, folder / "first.mst");
        w.tick_consent();
        w.generate();
        ASSERT_TRUE(fs::exists(mst)) << sys::utf16_to_utf8(w.last_message());
        EXPECT_EQ(test_support::oracle_dump(pro, {}, mst), test_support::oracle_dump(pro, {}, folder / "first.mst"));
        fs::rename(folder / "first.mst", mst);
    }

    for (int answer : {IDNO, IDOK /* the box closed */}) {
        shown_window w;
        w.ui.message_box_answers.push_back(answer);
        w.browse(pro);
        ASSERT_EQ(w.ui.message_boxes.size(), 1u);
        EXPECT_EQ(shown_on(w.dialog), defaults) << answer;
    }
}

TEST_F(CarriedForward, ATransformThatDoesNotApplyIsExplainedAndTheDefaultsShown) {
    test_support::write_file(mst, "not a transform at all");
    pages_shown defaults;
    {
        shown_window w;
        w.ui.message_box_answers.push_back(IDNO);
        w.browse(pro);
        defaults = shown_on(w.dialog);
    }
    shown_window w;
    w.ui.message_box_answers.push_back(IDYES);
    w.browse(pro);
    ASSERT_EQ(w.ui.message_boxes.size(), 2u);
    const std::u16string why = w.ui.message_boxes[1].text;
    EXPECT_EQ(why.rfind(u"The transform's settings were not loaded: ", 0), 0u) << sys::utf16_to_utf8(why);
    EXPECT_EQ(why.find(u'\n'), std::u16string::npos) << "one line: " << sys::utf16_to_utf8(why);
    EXPECT_EQ(shown_on(w.dialog), defaults);
    EXPECT_EQ(w.dialog.msi_path, sys::utf8_to_utf16(pro.string()));
}

TEST_F(CarriedForward, APackageNamedOnTheCommandLineLoadsAsIfBrowsed) {
    recording_ui_services ui;
    scoped_ui_services installed(ui);
    CQuorlin_EnterpriseDeploymentDlg dialog;
    dialog.package_to_open = sys::utf8_to_utf16(pro.string());
    dialog.Create(IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG, nullptr);
    dialog.ShowWindow(SW_SHOW);
    pump(150);
    EXPECT_TRUE(ui.message_boxes.empty());
    EXPECT_EQ(dialog.GetDlgItem(IDC_MSI_PATH)->GetWindowText(), sys::utf8_to_utf16(pro.string()));
    EXPECT_TRUE(is_enabled(dialog, IDC_PAGE_TREE));
    EXPECT_TRUE(is_checked(*dialog.imanage_page, IDC_IMANAGE_ENABLED));
    dialog.native()->Close(true);
    pump(30);
}

TEST_F(CarriedForward, WindowAndCommandLineWriteTheSameTransform) {
    test_support::file_unchanged_guard package_kept(pro);
    {
        shown_window w;
        w.browse(pro);
        make_choices(w);
        w.tick_consent();
        w.generate();
        ASSERT_TRUE(fs::exists(mst)) << sys::utf16_to_utf8(w.last_message());
    }
    const fs::path from_window = folder / "window.mst", from_shell = folder / "shell.mst";
    fs::rename(mst, from_window);

    std::vector<std::string> argv{"env",
                                  "-u",
                                  "DISPLAY",
                                  "-u",
                                  "WAYLAND_DISPLAY",
                                  fs::absolute("quorlin-deploy").string(),
                                  "--generate",
                                  pro.string(),
                                  "--agree-to-terms",
                                  "--output",
                                  from_shell.string()};
    argv.insert(argv.end(), choices_as_settings.begin(), choices_as_settings.end());
    const auto r = test_support::run_process(argv);
    ASSERT_EQ(r.exit_code, 0) << r.err;

    EXPECT_EQ(test_support::oracle_dump(pro, {}, from_shell), test_support::oracle_dump(pro, {}, from_window));
    EXPECT_EQ(summary_without_times(pro, from_shell), summary_without_times(pro, from_window));
    EXPECT_NE(oracle_view(pro, from_shell).properties, oracle_view(pro).properties) << "the choices are in it";
}

}  // namespace
