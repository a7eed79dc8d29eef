// Opening and closing a package: the working copy's name and life, and the
// failed steps it reports, with the window's messages and box styles for them.
#include "installer/installer_package.h"
#include "installer/package_paths.h"
#include "msi/cfb/compound_file.h"
#include "msi/db/stream_name.h"
#include "package_fixture.h"
#include "support/file_guard.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

using namespace installer_tests;
using test_support::file_digest;
using test_support::file_unchanged_guard;
using test_support::temp_dir;
using test_support::write_file;

TEST(PackagePaths, FollowWindowsRules) {
    using installer::transform_path;
    using installer::working_copy_path;
    EXPECT_EQ(working_copy_path(u"C:\\Deploy\\Setup.msi"), u"C:\\Deploy\\Setup_Tmp.msi");
    EXPECT_EQ(working_copy_path(u"C:\\a.b.msi"), u"C:\\a.b_Tmp.msi");
    EXPECT_EQ(working_copy_path(u"C:\\Deploy\\Setup"), u"C:\\Deploy\\Setup_Tmp");
    EXPECT_EQ(working_copy_path(u"D:\\pkgs.v2\\App"), u"D:\\pkgs.v2\\App_Tmp");
    EXPECT_EQ(working_copy_path(u"/srv/100%/a%d.msi"), u"/srv/100%/a%d_Tmp.msi");
    EXPECT_EQ(transform_path(u"C:\\Deploy\\Setup.msi"), u"C:\\Deploy\\Setup.mst");
    EXPECT_EQ(transform_path(u"C:\\Deploy\\a.b.msi"), u"C:\\Deploy\\a.b.mst");
    EXPECT_EQ(transform_path(u"C:\\Deploy\\Setup"), u"C:\\Deploy\\Setup.mst");
    EXPECT_EQ(transform_path(u"/srv/50%off/p%1.msi"), u"/srv/50%off/p%1.mst");
}

TEST(OpenClose, CopyReplacesAStaleOneAndIsDeletedOnClosing) {
    temp_dir dir;
    const auto package = dir / "100% Grüße.v2.msi";
    build_full_package(package);
    write_file(dir / "100% Grüße.v2_Tmp.msi", "stale working copy");
    file_unchanged_guard guard(package);
    recorded_messages messages;
    {
        installer_package p(sys::from_fs_path(package));
        ASSERT_TRUE(p.is_open());
        EXPECT_EQ(p.opening(), installer_package::open_outcome::opened);
        show_opening_outcome(p.opening());
        EXPECT_EQ(p.path(), sys::from_fs_path(package));
        EXPECT_EQ(p.working_copy(), sys::from_fs_path(dir / "100% Grüße.v2_Tmp.msi"));
        EXPECT_EQ(file_digest(dir / "100% Grüße.v2_Tmp.msi"), file_digest(package));
        EXPECT_EQ(p.read_property(u"ProductName"), u"Quorlin PDF Pro");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "100% Grüße.v2_Tmp.msi"));
    EXPECT_TRUE(messages.recorder.message_boxes.empty());

    // Choosing the same package again gives a fresh copy of the unchanged file.
    {
        installer_package first(sys::from_fs_path(package));
        first.set_property(u"ProductName", u"Edited");
    }
    installer_package again(sys::from_fs_path(package));
    EXPECT_EQ(again.read_property(u"ProductName"), u"Quorlin PDF Pro");
}

TEST(OpenClose, InstallerObjectThatCannotBeCreated) {
    temp_dir dir;
    build_full_package(dir / "App.msi");
    recorded_messages messages;
    auto previous = msi::replace_installer_factory([] { return std::shared_ptr<msi::Installer>(); });
    {
        installer_package p(sys::from_fs_path(dir / "App.msi"));
        EXPECT_FALSE(p.is_open());
        show_opening_outcome(p.opening());
        EXPECT_TRUE(p.path().empty());
        EXPECT_TRUE(p.working_copy().empty());
        EXPECT_FALSE(std::filesystem::exists(dir / "App_Tmp.msi"));
    }
    msi::replace_installer_factory(previous);
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    EXPECT_EQ(messages.recorder.message_boxes[0].text, u"Creation of Windows installer object failed.");
    EXPECT_EQ(messages.recorder.message_boxes[0].type, 0u);
}

TEST(OpenClose, PackageThatDoesNotOpenLeavesNoCopyBehind) {
    temp_dir dir;
    write_file(dir / "Broken.msi", std::string(4096, '\x5A'));
    file_unchanged_guard guard(dir / "Broken.msi");
    recorded_messages messages;
    {
        installer_package p(sys::from_fs_path(dir / "Broken.msi"));
        EXPECT_FALSE(p.is_open());
        show_opening_outcome(p.opening());
        EXPECT_FALSE(std::filesystem::exists(dir / "Broken_Tmp.msi"));  // removed as soon as the open failed
        EXPECT_THROW(p.read_property(u"ProductName"), msi::automation_error);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "Broken_Tmp.msi"));
    {
        installer_package missing(sys::from_fs_path(dir / "Missing.msi"));
        EXPECT_FALSE(missing.is_open());
        show_opening_outcome(missing.opening());
    }
    ASSERT_EQ(messages.recorder.message_boxes.size(), 2u);
    for (const auto& box : messages.recorder.message_boxes) {
        EXPECT_EQ(box.text, u"MSI file may be opened in another application.");
        EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONERROR));
    }
}

TEST(OpenClose, WorkingCopyThatCannotBeMade) {
    temp_dir dir;
    build_full_package(dir / "App.msi");
    file_unchanged_guard guard(dir / "App.msi");
    recorded_messages messages;

    // A folder in the copy's place: nothing can be copied there.
    std::filesystem::create_directory(dir / "App_Tmp.msi");
    {
        installer_package p(sys::from_fs_path(dir / "App.msi"));
        EXPECT_FALSE(p.is_open());
        show_opening_outcome(p.opening());
    }
    std::filesystem::remove(dir / "App_Tmp.msi");

    // A link from the copy's name to the package itself must not make the
    // package the working copy.
    std::filesystem::create_symlink(dir / "App.msi", dir / "App_Tmp.msi");
    {
        installer_package p(sys::from_fs_path(dir / "App.msi"));
        EXPECT_FALSE(p.is_open());
        show_opening_outcome(p.opening());
        EXPECT_THROW(p.set_property(u"ProductName", u"Changed"), msi::automation_error);
    }
    ASSERT_EQ(messages.recorder.message_boxes.size(), 2u);
    for (const auto& box : messages.recorder.message_boxes) {
        EXPECT_EQ(box.text, u"Opening temporary database failed.");
        EXPECT_EQ(box.type, 0u);
    }
}

TEST(OpenClose, SecondSessionOnTheSamePackageLeavesTheFirstOnesCopyAlone) {
    temp_dir dir;
    build_full_package(dir / "App.msi");
    recorded_messages messages;
    {
        installer_package first(sys::from_fs_path(dir / "App.msi"));
        ASSERT_TRUE(first.is_open());
        first.set_property(u"ProductName", u"Edited by the first");
        const auto first_copy = file_digest(dir / "App_Tmp.msi");
        {
            installer_package second(sys::from_fs_path(dir / "App.msi"));
            EXPECT_FALSE(second.is_open());
            show_opening_outcome(second.opening(), second.failure_text());
            EXPECT_EQ(file_digest(dir / "App_Tmp.msi"), first_copy);
        }
        // Closing the second session must not delete the first one's copy.
        ASSERT_TRUE(std::filesystem::exists(dir / "App_Tmp.msi"));
        EXPECT_EQ(file_digest(dir / "App_Tmp.msi"), first_copy);
        EXPECT_EQ(first.read_property(u"ProductName"), u"Edited by the first");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "App_Tmp.msi"));
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    EXPECT_EQ(messages.recorder.message_boxes[0].text, u"Opening temporary database failed.");
    EXPECT_EQ(messages.recorder.message_boxes[0].type, 0u);

    // Once the first has closed, the package opens again.
    installer_package third(sys::from_fs_path(dir / "App.msi"));
    EXPECT_TRUE(third.is_open());
    EXPECT_EQ(third.read_property(u"ProductName"), u"Quorlin PDF Pro");
}

TEST(OpenClose, FileNamesThatAreNotUtf8AreOpenedAsTheirBytes) {
    temp_dir dir;
    const std::filesystem::path package = dir /
                                          "Pr\xFC"
                                          "fung \xA9.msi";  // Latin-1 bytes
    build_full_package(package);
    file_unchanged_guard guard(package);
    recorded_messages messages;
    {
        installer_package p(sys::from_fs_path(package));
        ASSERT_TRUE(p.is_open());
        EXPECT_TRUE(std::filesystem::exists(dir / "Pr\xFC"
                                                  "fung \xA9_Tmp.msi"));
        p.set_property(u"ProductName", u"Edited");
        generate_and_report(p);
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "Pr\xFC"
                                              "fung \xA9.mst"));
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    EXPECT_EQ(messages.recorder.message_boxes[0].type, static_cast<UINT>(MB_ICONINFORMATION));
}

TEST(OpenClose, CodePageTheEngineCannotReadHasItsOwnMessage) {
    temp_dir dir;
    build_full_package(dir / "App.msi");
    {
        // Code page 1200 (UTF-16) is no code page a database may declare.
        auto file = msi::compound_file::open(dir / "App.msi");
        const auto pool = msi::encode_stream_name(u"_StringPool", true);
        auto bytes = file->read_stream(pool);
        bytes[0] = 0xB0, bytes[1] = 0x04;  // 1200
        file->write_stream(pool, bytes);
        file->commit();
    }
    recorded_messages messages;
    installer_package p(sys::from_fs_path(dir / "App.msi"));
    EXPECT_FALSE(p.is_open());
    EXPECT_EQ(p.opening(), installer_package::open_outcome::code_page_unsupported);
    show_opening_outcome(p.opening(), p.failure_text());
    ASSERT_EQ(messages.recorder.message_boxes.size(), 1u);
    EXPECT_NE(messages.recorder.message_boxes[0].text.find(u"code page 1200 is not supported"), std::u16string::npos)
        << sys::utf16_to_utf8(messages.recorder.message_boxes[0].text);
    EXPECT_EQ(messages.recorder.message_boxes[0].type, static_cast<UINT>(MB_ICONERROR));
}
