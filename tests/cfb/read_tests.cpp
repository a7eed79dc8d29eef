// Reading packages written by msitools, and the same packages rewritten with
// 4096-byte sectors, compared with olefile's reading of them.
#include "support/cfb_fixtures.h"

#include "msi/automation_error.h"
#include "msi/cfb/compound_file.h"
#include "support/file_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <unistd.h>

using namespace cfb_test;

namespace {

void expect_same_as_olefile(const std::filesystem::path& file) {
    ole_view ole = ole_read(file);
    auto cf = msi::compound_file::open(file);
    EXPECT_EQ(cf->root_class(), msi::database_class_id);
    std::vector<std::u16string> expected;
    for (const auto& [name, data] : ole.streams) expected.push_back(name);
    std::vector<std::u16string> names = cf->stream_names();
    EXPECT_EQ(std::set<std::u16string>(names.begin(), names.end()),
              std::set<std::u16string>(expected.begin(), expected.end()));
    for (const auto& [name, data] : ole.streams) {
        ASSERT_TRUE(cf->has_stream(name));
        EXPECT_EQ(cf->stream_size(name), data.size());
        EXPECT_TRUE(to_string(cf->read_stream(name)) == data) << "stream of " << data.size() << " bytes";
    }
}

// The access mode of this process's descriptors that name `file`.
std::vector<int> open_modes(const std::filesystem::path& file) {
    std::vector<int> modes;
    auto target = std::filesystem::canonical(file);
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        auto link = std::filesystem::read_symlink(fd.path(), ec);
        if (ec || link != target) continue;
        std::ifstream info("/proc/self/fdinfo/" + fd.path().filename().string());
        std::string key, flags;
        while (info >> key >> flags)
            if (key == "flags:") modes.push_back(static_cast<int>(std::stoul(flags, nullptr, 8)) & O_ACCMODE);
    }
    return modes;
}

}  // namespace

TEST(CompoundFileRead, EveryStreamOfAPackageWithDifatMatchesOlefile) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = true, .big_stream = true});
    expect_same_as_olefile(file);
    auto cf = msi::compound_file::open(file);
    EXPECT_EQ(to_string(cf->read_stream(plain_stream("big.bin"))), big_stream_content());
}

TEST(CompoundFileRead, VersionFourFileReadsLikeItsVersionThreeOriginal) {
    test_support::temp_dir dir;
    auto v3 = build_package(dir.path(), {.long_value = true, .big_stream = true});
    auto v4 = dir / "v4.msi";
    convert_to_version4(v3, v4);
    ASSERT_EQ(ole_read(v4).sector_size, 4096u);
    expect_same_as_olefile(v4);
    auto a = msi::compound_file::open(v3);
    auto b = msi::compound_file::open(v4);
    ASSERT_EQ(a->stream_names(), b->stream_names());
    for (const auto& name : a->stream_names()) EXPECT_EQ(a->read_stream(name), b->read_stream(name));
}

TEST(CompoundFileRead, OpensReadOnlyAndLeavesTheFileAlone) {
    test_support::temp_dir dir;
    auto file = write_package(dir.path());
    test_support::file_unchanged_guard guard(file);
    {
        auto cf = msi::compound_file::open(file);
        EXPECT_EQ(open_modes(file), std::vector<int>{O_RDONLY});
        for (const auto& name : cf->stream_names()) cf->read_stream(name);
        cf->write_stream(table_stream("Property"), {1, 2, 3});
        cf->remove_stream(plain_stream("small.bin"));
        EXPECT_TRUE(cf->has_changes());
        EXPECT_EQ(cf->read_stream(table_stream("Property")), (bytes{1, 2, 3}));
        EXPECT_FALSE(cf->has_stream(plain_stream("small.bin")));
        EXPECT_EQ(open_modes(file), std::vector<int>{O_RDONLY});
    }
    EXPECT_TRUE(open_modes(file).empty());
}

TEST(CompoundFileRead, PartialLastSectorAndSizeHighBitsAreTolerated) {
    test_support::temp_dir dir;
    auto file = dir / "partial.cfb";
    const std::string tail = pseudo_random(5000, 11);
    {
        auto cf = msi::compound_file::create(msi::database_class_id);
        cf->write_stream(u"small", to_bytes("abc"));
        cf->write_stream(u"tail", to_bytes(tail));
        cf->save_as(file);
    }
    // The new-file writer puts large streams last: cut the padding after the
    // tail stream's last byte, and put garbage in the high half of the
    // small stream's size (entry 2: "tail" sorts first, being shorter), which version 3 ignores.
    auto size = std::filesystem::file_size(file);
    std::filesystem::resize_file(file, size - (512 - 5000 % 512));
    poke32(file, 1024 + 128 * 2 + 0x7C, 0xDEADBEEF);
    auto cf = msi::compound_file::open(file);
    EXPECT_EQ(cf->stream_size(u"small"), 3u);
    EXPECT_EQ(to_string(cf->read_stream(u"small")), "abc");
    EXPECT_EQ(to_string(cf->read_stream(u"tail")), tail);
}
