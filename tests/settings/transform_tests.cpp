// The transform written beside the package: its name, the two messages, what
// Windows Installer (the oracle) makes of it, and that a failure never costs
// the administrator an earlier transform.
#include "installer/installer_package.h"
#include "package_fixture.h"
#include "support/file_guard.h"
#include "support/msi_oracle.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>

using namespace installer_tests;
using test_support::file_digest;
using test_support::file_unchanged_guard;
using test_support::oracle_dump;
using test_support::oracle_transform_summary;
using test_support::read_file;
using test_support::temp_dir;
using test_support::write_file;

namespace {

// Files in the folder other than the package, its copy and the transform.
std::vector<std::string> stray_files(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const auto name = entry.path().filename().string();
        if (name != "Setup.msi" && name != "Setup_Tmp.msi" && name != "Setup.mst") names.push_back(name);
    }
    return names;
}

const std::u16string success_prefix = u"MST file was created successfully in\n";
const std::u16string failure_text = u"Unable to create the transform file.";

// The failure message with its reason beside it, saying the transform was
// left as it was.
void expect_failure(const recording_ui_services::message_box_shown& box, const std::filesystem::path& transform,
                    const std::u16string& reason) {
    const std::u16string kept = u"; " + sys::from_fs_path(transform) + u" was left as it was";
    EXPECT_EQ(box.text.rfind(failure_text + u"\n", 0), 0u) << sys::utf16_to_utf8(box.text);
    EXPECT_NE(box.text.find(reason), std::u16string::npos) << sys::utf16_to_utf8(box.text);
    EXPECT_TRUE(box.text.ends_with(kept)) << sys::utf16_to_utf8(box.text);
    EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONERROR));
}
const std::u16string changed_text =
    u"The MSI file was changed by another program after it was opened. Open it again.\n";

// Writes beyond `bytes` into any file fail with EFBIG, as on a full disk,
// instead of ending the process.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~file_size_limit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_handler_);
    }

private:
    rlimit previous_{};
    void (*previous_handler_)(int) = nullptr;
};

// Another program writing the file in place: same file, new bytes.
void overwrite_in_place(const std::filesystem::path& file, const std::filesystem::path& with) {
    const std::string bytes = read_file(with);
    std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc) << bytes;
}

}  // namespace

TEST(GenerateTransform, WritesWhatTheOracleAppliesAndReplacesTheEarlierOne) {
    temp_dir dir;
    const auto package = dir / "Setup.msi";
    build_full_package(package);
    file_unchanged_guard guard(package);
    write_file(dir / "Setup.mst", "an earlier transform");
    // Only its owner may read it: it may hold a password.
    std::filesystem::permissions(dir / "Setup.mst",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    recorded_messages messages;
    installer_package p(sys::from_fs_path(package));
    ASSERT_TRUE(p.is_open());

    p.set_property(u"DROPBOXDISABLED", u"#1");
    p.set_property(u"IMANAGEINSTALLPATH", u"D:\\O'Brien\\Work");
    p.set_registry_value(u"network_disk_enabled", u"/b 0");
    p.set_registry_number(u"PrintBandSize", 65535);
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    EXPECT_EQ(messages.recorder.message_boxes[0].text, success_prefix + sys::from_fs_path(dir / "Setup.mst"));
    EXPECT_EQ(messages.recorder.message_boxes[0].type, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(oracle_dump(package, {}, dir / "Setup.mst"), oracle_dump(dir / "Setup_Tmp.msi"));
    const auto summary = oracle_transform_summary(package, dir / "Setup.mst");
    EXPECT_NE(summary.find("MSTSUMMARY\t16\t0\n"), std::string::npos) << summary;  // no conditions, no validation
    EXPECT_TRUE(stray_files(dir.path()).empty());

    // A second generation replaces the first and reflects the later values.
    p.set_registry_number(u"PrintBandSize", 8388608);
    p.set_property(u"DROPBOXDISABLED", u"#0");
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 2u);
    EXPECT_EQ(messages.recorder.message_boxes[1].type, static_cast<UINT>(MB_ICONINFORMATION));
    const auto applied = oracle_dump(package, {"Property", "Registry"}, dir / "Setup.mst");
    EXPECT_EQ(applied, oracle_dump(dir / "Setup_Tmp.msi", {"Property", "Registry"}));
    EXPECT_NE(applied.find("Property\tDROPBOXDISABLED\t#0\n"), std::string::npos);
    EXPECT_TRUE(p.is_open());
    EXPECT_EQ(std::filesystem::status(dir / "Setup.mst").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(GenerateTransform, FailureKeepsTheEarlierTransformAndLeavesNothingBehind) {
    temp_dir dir;
    const auto package = dir / "Setup.msi";
    build_full_package(package);
    file_unchanged_guard guard(package);
    recorded_messages messages;
    installer_package p(sys::from_fs_path(package));
    ASSERT_TRUE(p.is_open());

    // Nothing changed yet: there is no transform to write.
    write_file(dir / "Setup.mst", "an earlier transform");
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    expect_failure(messages.recorder.message_boxes[0], dir / "Setup.mst", u"no differences");
    EXPECT_EQ(read_file(dir / "Setup.mst"), "an earlier transform");
    EXPECT_TRUE(stray_files(dir.path()).empty());

    // The transform's name is taken by a folder: it cannot be replaced.
    p.set_property(u"DROPBOXDISABLED", u"#1");
    std::filesystem::remove(dir / "Setup.mst");
    std::filesystem::create_directory(dir / "Setup.mst");
    write_file(dir / "Setup.mst" / "inside", "kept");
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 2u);
    expect_failure(messages.recorder.message_boxes[1], dir / "Setup.mst", u"Is a directory");
    EXPECT_EQ(read_file(dir / "Setup.mst" / "inside"), "kept");
    EXPECT_TRUE(stray_files(dir.path()).empty());

    // Once the way is clear, generating again succeeds: the object stayed open.
    std::filesystem::remove_all(dir / "Setup.mst");
    EXPECT_TRUE(p.is_open());
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 3u);
    EXPECT_EQ(messages.recorder.message_boxes[2].text, success_prefix + sys::from_fs_path(dir / "Setup.mst"));
    EXPECT_NE(oracle_dump(package, {"Property"}, dir / "Setup.mst").find("Property\tDROPBOXDISABLED\t#1\n"),
              std::string::npos);
}

TEST(GenerateTransform, NeverReplacesAPackageNamedLikeItsTransform) {
    temp_dir dir;
    const auto package = dir / "Odd.mst";
    build_full_package(package);
    file_unchanged_guard guard(package);
    recorded_messages messages;
    installer_package p(sys::from_fs_path(package));
    ASSERT_TRUE(p.is_open());
    p.set_property(u"DROPBOXDISABLED", u"#1");
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    expect_failure(messages.recorder.message_boxes[0], package, u"would replace the package");
}

TEST(GenerateTransform, OnAnObjectThatIsNotOpenShowsTheFailure) {
    temp_dir dir;
    write_file(dir / "Broken.msi", "not a package");
    recorded_messages messages;
    installer_package p(sys::from_fs_path(dir / "Broken.msi"));
    ASSERT_FALSE(p.is_open());
    EXPECT_EQ(generate_and_report(p), installer_package::transform_outcome::failed);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    expect_failure(messages.recorder.message_boxes[0], dir / "Broken.mst", u"not open");
    EXPECT_FALSE(std::filesystem::exists(dir / "Broken.mst"));
}

TEST(GenerateTransform, FullDiskKeepsTheEarlierTransformAndLeavesNothingBehind) {
    temp_dir dir;
    const auto package = dir / "Setup.msi";
    build_full_package(package);
    recorded_messages messages;
    installer_package p(sys::from_fs_path(package));
    ASSERT_TRUE(p.is_open());
    p.set_property(u"DROPBOXDISABLED", u"#1");
    generate_and_report(p);
    const auto earlier = file_digest(dir / "Setup.mst");

    p.set_property(u"IMANAGEINSTALLPATH", u"D:\\Work");
    {
        file_size_limit full_after(1024);  // a transform takes at least three sectors
        generate_and_report(p);
    }
    ASSERT_EQ(messages.recorder.message_boxes.size(), 2u);
    expect_failure(messages.recorder.message_boxes[1], dir / "Setup.mst", u"File too large");
    EXPECT_EQ(file_digest(dir / "Setup.mst"), earlier);
    EXPECT_TRUE(stray_files(dir.path()).empty());
}

TEST(GenerateTransform, PackageNamedAtTheFileSystemsLimitGenerates) {
    temp_dir dir;
    // The working copy's name takes the whole limit of 255 bytes.
    const std::string base(255 - std::string("_Tmp.msi").size(), 'S');
    build_full_package(dir / "short.msi");
    std::filesystem::rename(dir / "short.msi", dir / (base + ".msi"));
    recorded_messages messages;
    installer_package p(sys::from_fs_path(dir / (base + ".msi")));
    ASSERT_TRUE(p.is_open());
    p.set_property(u"DROPBOXDISABLED", u"#1");
    generate_and_report(p);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    EXPECT_EQ(messages.recorder.message_boxes[0].text, success_prefix + sys::from_fs_path(dir / (base + ".mst")));
}

TEST(GenerateTransform, FilesChangedByAnotherProgramAreNotReadOnAndGiveNoTransform) {
    temp_dir dir;
    const auto package = dir / "Setup.msi";
    build_full_package(package);
    build_property_only_package(dir / "other.msi");
    recorded_messages messages;
    {
        // The package rewritten between opening and generating.
        installer_package p(sys::from_fs_path(package));
        ASSERT_TRUE(p.is_open());
        p.set_property(u"DROPBOXDISABLED", u"#1");
        overwrite_in_place(package, dir / "other.msi");
        generate_and_report(p);
        ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
        EXPECT_EQ(messages.recorder.message_boxes[0].text, changed_text + sys::from_fs_path(package));
        EXPECT_EQ(messages.recorder.message_boxes[0].type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_FALSE(std::filesystem::exists(dir / "Setup.mst"));
    }
    build_full_package(package);
    {
        // The working copy rewritten: no table not read yet is read, nothing is committed.
        installer_package p(sys::from_fs_path(package));
        ASSERT_TRUE(p.is_open());
        EXPECT_EQ(p.read_property(u"ProductName"), u"Quorlin PDF Pro");
        overwrite_in_place(dir / "Setup_Tmp.msi", dir / "other.msi");
        for (auto step : {+[](installer_package& q) { q.read_registry_value(u"PrintBandSize"); },
                          +[](installer_package& q) { q.set_property(u"DROPBOXDISABLED", u"#1"); }}) {
            try {
                step(p);
                ADD_FAILURE() << "no error";
            } catch (const msi::automation_error& e) {
                EXPECT_EQ(std::string(e.what()), sys::utf16_to_utf8(changed_text) + (dir / "Setup_Tmp.msi").string());
            }
        }
        generate_and_report(p);
        EXPECT_EQ(messages.recorder.message_boxes.back().text, changed_text + sys::from_fs_path(dir / "Setup_Tmp.msi"));
        EXPECT_FALSE(std::filesystem::exists(dir / "Setup.mst"));
    }
}
