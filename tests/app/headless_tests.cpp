// quorlin-deploy --show and --generate as a script runs them: the real
// executable, DISPLAY and WAYLAND_DISPLAY unset, transforms judged by the
// oracle (Wine's installer applying them).
#include "support/deployment_fixtures.h"

#include "installer/settings_text.h"
#include "support/file_guard.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace window_test;
namespace fs = std::filesystem;
using test_support::process_result;

namespace {

process_result run_headless(std::vector<std::string> args) {
    std::vector<std::string> argv{"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", QUORLIN_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return test_support::run_process(argv);
}

std::vector<fs::path> files_in(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    return files;
}

class Headless : public testing::Test {
protected:
    void SetUp() override { build_pro_package(pro); }
    test_support::temp_dir dir{"quorlin-headless"};
    fs::path pro = dir / "pro.msi";
    fs::path mst = dir / "pro.mst";
};

TEST_F(Headless, ShowPrintsWhatTheLoadGivesAndTouchesNothing) {
    test_support::file_unchanged_guard package_kept(pro);
    const auto r = run_headless({"--show", pro.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    // The pro package's values read by the load's rules; language and print
    // profile as a fresh window has them; the terms address from TOS_URL, the
    // privacy address from the Control table's markup.
    EXPECT_EQ(r.out,
              "create_desktop_shortcut = off\n"
              "install_office_addins = on\n"
              "install_printer_driver = off\n"
              "enable_sign_integration = on\n"
              "enable_dropbox = on\n"
              "enable_onedrive = on\n"
              "enable_box = off\n"
              "enable_sharepoint = off\n"
              "enable_network_disk = on\n"
              "enable_crash_reporting = off\n"
              "enable_azure_labeling = on\n"
              "azure_force_login = on\n"
              "imanage_enabled = on\n"
              "imanage_install_path = C:\\Program Files\\iManage\\Work10\n"
              "knowledge_assistant_enabled = on\n"
              "application_language = en-US\n"
              "print_profile = default\n"
              "terms_of_service = https://quorlin.example/terms-from-property\n"
              "privacy_policy = https://quorlin.example/privacy\n");
    EXPECT_EQ(files_in(dir.path()), std::vector<fs::path>{"pro.msi"}) << "no working copy, no transform";
}

TEST_F(Headless, GenerateWritesTheChosenSettingsInTheirWrittenForms) {
    test_support::file_unchanged_guard package_kept(pro);
    // The settings file is what --show printed, with two lines changed.
    std::string shown = run_headless({"--show", pro.string()}).out;
    auto replace = [&](const std::string& from, const std::string& to) {
        const auto at = shown.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        shown.replace(at, from.size(), to);
    };
    replace("enable_box = off", "enable_box = on");
    replace("print_profile = default", "# a comment\nprint_profile = pcl");
    test_support::write_file(dir / "settings.txt", shown);

    const char* const assignments[] = {"application_language=nl-NL", "imanage_install_path =  D:\\Work  "};
    const auto r = run_headless({"--generate", pro.string(), "--agree-to-terms", "--settings",
                                 (dir / "settings.txt").string(), "--set", assignments[0], "--set", assignments[1]});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(files_in(dir.path()), (std::vector<fs::path>{"pro.msi", "pro.mst", "settings.txt"}));

    // The settings file and the assignments, written as the window writes them.
    deployment::settings_values chosen;
    ASSERT_EQ(deployment::apply_settings_text(chosen, shown), std::nullopt);
    for (const char* assignment : assignments)
        ASSERT_EQ(deployment::set_setting_assignment(chosen, assignment), std::nullopt);
    const package_view expected = expected_after_writing(pro, chosen, u"Quorlin PDF Pro");
    const package_view after = oracle_view(pro, mst);
    EXPECT_EQ(after.properties, expected.properties);
    EXPECT_EQ(after.registry, expected.registry);
    EXPECT_EQ(after.other_tables, expected.other_tables);
    // The changed lines took effect.
    for (const auto& [name, value] :
         value_map{{"BOXDISABLED", "#0"}, {"APPLICATION_LANGUAGE", "nl-NL"}, {"IMANAGEINSTALLPATH", "D:\\Work"}})
        EXPECT_EQ(after.properties.at(name), value) << name;
    EXPECT_EQ(after.registry.at("PrintBandSize"), "#1013760");
}

TEST_F(Headless, RefusalsWriteNothingAndKeepAnEarlierTransform) {
    test_support::file_unchanged_guard package_kept(pro);
    test_support::write_file(mst, "an earlier transform");
    test_support::file_unchanged_guard transform_kept(mst);
    const std::string package = pro.string();
    struct refusal {
        std::vector<std::string> args;
        std::string message_part;
    };
    const std::vector<refusal> refusals{
        {{"--generate", package},
         "Terms of Service (https://quorlin.example/terms-from-property) and Privacy Policy "
         "(https://quorlin.example/privacy)"},
        {{"--generate", package, "--agree-to-terms", "--set", "enable_teleport=on"},
         "unknown setting 'enable_teleport'"},
        {{"--generate", package, "--agree-to-terms", "--set", "enable_box=yes"}, "bad value 'yes' for enable_box"},
        {{"--generate", package, "--agree-to-terms", "--set", "application_language=xx-XX"}, "bad value 'xx-XX'"},
        {{"--generate", package, "--agree-to-terms", "--set", "print_profile"}, "expected name=value"},
        {{"--generate", package, "--agree-to-terms", "--set", "imanage_enabled=on", "--set",
          "imanage_install_path=   "},
         "imanage_install_path is empty while imanage_enabled is on"},
        {{"--generate", package, "--agree-to-terms", "--settings", (dir / "missing.txt").string()},
         "cannot read the settings file"},
        {{"--generate", (dir / "missing.msi").string(), "--agree-to-terms"}, "missing.msi"},
        {{"--generate", package, "--agree-to-terms", "--output", package}, "would replace the package"},
        {{"--generate", package, "--agree-to-terms", "--set", "enable_box=on", "--output", (mst / "x.mst").string()},
         "Not a directory; " + (mst / "x.mst").string() + " was left as it was"},
        {{"--show", package, "--set", "enable_box=on"}, "--show takes only"},
        {{"--generate", "--agree-to-terms"}, "needs a package"},
        {{"--frobnicate", package}, "unknown option '--frobnicate'"},
    };
    for (const auto& [args, message_part] : refusals) {
        const auto r = run_headless(args);
        EXPECT_EQ(r.exit_code, 2) << args.back();
        EXPECT_NE(r.err.find(message_part), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
        EXPECT_EQ(files_in(dir.path()), (std::vector<fs::path>{"pro.msi", "pro.mst"})) << args.back();
    }
}

TEST_F(Headless, GeneratePrintsTheRecipeAndTheSameBytesUnderAnyClock) {
    fs::create_directory(dir / "tmp-a");
    fs::create_directory(dir / "tmp-b");
    // Each run under its own zone, locale, temporary folder and faked clock.
    const auto run = [&](const std::string& out, const std::vector<std::string>& environment,
                         const std::string& clock) {
        std::vector<std::string> argv{"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "SOURCE_DATE_EPOCH=1700000000"};
        argv.insert(argv.end(), environment.begin(), environment.end());
        for (const auto& a :
             {std::string("faketime"), std::string("-f"), clock, std::string(QUORLIN_PROGRAM),
              std::string("--generate"), pro.string(), std::string("--agree-to-terms"), std::string("--set"),
              std::string("enable_box=on"), std::string("--output"), (dir / out).string()})
            argv.push_back(a);
        const auto r = test_support::run_process(argv);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_NE(r.out.find("MST file was created successfully in " + (dir / out).string() +
                             "\nDeployment recipe\n  Command line:    msiexec /i \"" + pro.string() +
                             "\" TRANSFORMS=\"" + (dir / out).string() + "\" /qn\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("\n    BOXDISABLED = #0\n"), std::string::npos) << r.out;
        return test_support::run_process({"sha256sum", "-b", (dir / out).string()}).out.substr(0, 64);
    };
    const auto a = run("a.mst", {"TZ=UTC", "LANG=C", "TMPDIR=" + (dir / "tmp-a").string()}, "2001-02-03 04:05:06");
    const auto b =
        run("b.mst",
            {"TZ=Pacific/Kiritimati", "LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8", "TMPDIR=" + (dir / "tmp-b").string()},
            "2031-06-15 12:00:00");
    EXPECT_EQ(a, b);
}

TEST_F(Headless, NoDifferencesExitsOneAndKeepsTheEarlierTransform) {
    // A package with none of the names the settings are written to.
    const fs::path bare = dir / "bare.msi";
    test_support::msi_source source;
    source.tables = {test_support::property_table(
        {{"ProductName", "Quorlin PDF Pro"}, {"ProductCode", "{0E5C8E53-3C2B-4E3F-9B1F-3A3C2D1E0F09}"}})};
    test_support::build_msi(bare, source);
    test_support::write_file(dir / "bare.mst", "an earlier transform");
    test_support::file_unchanged_guard transform_kept(dir / "bare.mst");
    const auto r = run_headless({"--generate", bare.string(), "--agree-to-terms", "--set", "enable_box=on"});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_NE(r.err.find("no differences"), std::string::npos) << r.err;
    // Why, as the window says it, in both modes.
    const std::string why =
        "This package does not hold the settings this utility changes; its transform would be empty.";
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    const auto shown = run_headless({"--show", bare.string()});
    EXPECT_EQ(shown.exit_code, 0) << shown.err;
    EXPECT_NE(shown.err.find(why), std::string::npos) << shown.err;
}

TEST(HeadlessHelp, NamesEverySettingWithItsValues) {
    const auto r = run_headless({"--help"});
    ASSERT_EQ(r.exit_code, 0);
    for (const char* line : {"enable_dropbox = on | off", "print_profile = default | pcl",
                             "application_language = select, de-DE, en-US, es-ES, fr-FR, it-IT, nl-NL",
                             "imanage_install_path = ", "--agree-to-terms", "--continue-from"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

}  // namespace
