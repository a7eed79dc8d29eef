// Many commits into one file, each reopening it: streams of several FAT
// sectors' worth and small ones in the mini stream are rewritten, grown,
// shrunk, added and removed. olefile must read exactly what was written, and
// the file must stay near the size of its content: sectors a commit frees
// are taken again, not leaked.
#include "support/cfb_fixtures.h"

#include "msi/cfb/compound_file.h"
#include "msi/cfb/printable_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

using namespace cfb_test;

namespace {

std::uintmax_t content_size(const std::map<std::u16string, std::string>& streams) {
    std::uintmax_t size = 0;
    for (const auto& [name, data] : streams) size += data.size();
    return size;
}

}  // namespace

TEST(CommitGrowth, RewrittenStreamsReadBackAndTheFileStaysBounded) {
    test_support::temp_dir dir;
    const auto file = dir / "growth.cfb";
    std::map<std::u16string, std::string> expected;
    std::uintmax_t largest = 0;
    {
        auto cf = msi::compound_file::create(msi::database_class_id);
        // 300 KB: the stream's sectors span five FAT sectors (128 sectors, 64 KB, each).
        expected[u"big"] = pseudo_random(300'000, 1);
        expected[u"middle"] = pseudo_random(70'000, 2);
        for (int i = 0; i < 12; ++i)
            expected[u"small" + std::u16string(1, u'a' + i)] = pseudo_random(100 + 330 * i, 10 + i);
        for (const auto& [name, data] : expected) cf->write_stream(name, to_bytes(data));
        cf->save_as(file);
    }
    largest = content_size(expected);
    for (std::uint32_t round = 1; round <= 8; ++round) {
        {
            auto cf = msi::compound_file::open(file);
            // The big stream shrinks and grows by turns; the middle one moves
            // between sizes that need the mini stream and sizes that do not.
            expected[u"big"] = pseudo_random(round % 2 ? 200'000 : 330'000, 100 + round);
            expected[u"middle"] = pseudo_random(round % 3 == 0 ? 3000 : 66'000 + round, 200 + round);
            for (int i = 0; i < 12; i += 1 + static_cast<int>(round % 3)) {
                const std::u16string name = u"small" + std::u16string(1, u'a' + i);
                expected[name] = pseudo_random(64 * ((round * 7 + i * 5) % 60) + 1, 300 + round * 16 + i);
            }
            const std::u16string gone = u"extra" + std::u16string(1, u'0' + (round - 1) % 10);
            const std::u16string added = u"extra" + std::u16string(1, u'0' + round % 10);
            if (expected.erase(gone)) cf->remove_stream(gone);
            expected[added] = pseudo_random(500 * round, 400 + round);
            // One byte either side of the cutoff: 4095 bytes go to the mini stream, 4096 do not.
            expected[u"cutoff"] = pseudo_random(round % 2 ? 4096 : 4095, 500 + round);
            for (const auto& [name, data] : expected) cf->write_stream(name, to_bytes(data));
            cf->commit();
        }
        const ole_view ole = ole_read(file);
        ASSERT_EQ(ole.streams.size(), expected.size()) << "round " << round;
        for (const auto& [name, data] : expected) {
            auto it = ole.streams.find(name);
            ASSERT_NE(it, ole.streams.end()) << msi::cfb::printable_name(name) << ", round " << round;
            EXPECT_TRUE(it->second == data) << msi::cfb::printable_name(name) << ", round " << round;
        }
        // A commit writes a changed stream beside the old copy, so the file
        // may hold the largest content yet twice, with table sectors; never more.
        largest = std::max(largest, content_size(expected));
        EXPECT_LE(std::filesystem::file_size(file), 2 * largest + 64 * 1024) << "round " << round;
    }
}

// A stream removed from the end of the file gives its sectors back. The mini
// stream takes a new sector exactly when a mini sector lies past its last
// one, and its size ends at its last mini sector.
TEST(CommitGrowth, FreedEndIsCutOffAndTheMiniStreamGrowsBySectors) {
    test_support::temp_dir dir;
    const auto file = dir / "mini.cfb";
    {
        auto cf = msi::compound_file::create(msi::database_class_id);
        cf->write_stream(u"large", to_bytes(pseudo_random(9000, 1)));
        cf->save_as(file);
    }
    const std::uintmax_t before = std::filesystem::file_size(file);
    {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(u"big", to_bytes(pseudo_random(20000, 3)));
        cf->commit();
    }
    // The first commit takes the stream out, the second moves what it left behind it.
    for (int round = 0; round < 2; ++round) {
        auto cf = msi::compound_file::open(file);
        if (round == 0) cf->remove_stream(u"big");
        cf->write_stream(u"large", to_bytes(pseudo_random(9000, 10 + round)));
        cf->commit();
    }
    EXPECT_LE(std::filesystem::file_size(file), before + 8 * 512);

    const struct {
        std::u16string name;
        std::size_t size;
        std::uint64_t mini_stream_size;
        std::size_t mini_stream_sectors;
    } steps[] = {{u"eight", 512, 512, 1}, {u"ninth", 64, 576, 2}};  // eight mini sectors fill a sector
    for (const auto& step : steps) {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(step.name, to_bytes(pseudo_random(step.size, 2)));
        cf->commit();
        const ole_view ole = ole_read(file);
        EXPECT_EQ(ole.mini_stream_size, step.mini_stream_size) << msi::cfb::printable_name(step.name);
        EXPECT_EQ(ole.mini_stream_sectors, step.mini_stream_sectors) << msi::cfb::printable_name(step.name);
    }
}

// The header lists 109 FAT sectors: a commit that needs a 110th must start
// the DIFAT for it.
TEST(CommitGrowth, FatSectorPastTheHeadersListStartsTheDifat) {
    test_support::temp_dir dir;
    const auto file = dir / "difat.cfb";
    {
        auto cf = msi::compound_file::create(msi::database_class_id);
        cf->write_stream(u"small", to_bytes(pseudo_random(100, 1)));
        cf->save_as(file);
    }
    // 109 FAT sectors describe 13,952 sectors; this stream needs a few more.
    const std::string data = pseudo_random(13'900 * 512, 2);
    {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(u"data", to_bytes(data));
        cf->commit();
    }
    const std::string bytes = file_bytes(file);
    auto header_field = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
        return value;
    };
    ASSERT_EQ(header_field(0x2C), 110u);  // FAT sectors
    EXPECT_EQ(header_field(0x48), 1u);    // DIFAT sectors
    EXPECT_TRUE(to_string(msi::compound_file::open(file)->read_stream(u"data")) == data);
    EXPECT_TRUE(ole_read(file).streams[u"data"] == data);
}

// A reopened file's free sectors are taken lowest first, across the ranges
// of its FAT sectors, before the file grows.
TEST(CommitGrowth, FreeSectorsAreTakenLowestFirst) {
    test_support::temp_dir dir;
    const auto file = dir / "holes.cfb";
    {
        auto cf = msi::compound_file::create(msi::database_class_id);
        cf->write_stream(u"a", to_bytes(pseudo_random(200 * 512, 1)));
        cf->write_stream(u"b", to_bytes(pseudo_random(9000, 2)));
        cf->save_as(file);
    }
    {
        auto cf = msi::compound_file::open(file);
        cf->remove_stream(u"a");
        cf->commit();
    }
    // The free sectors inside the file, by the FAT the header lists.
    auto free_sectors = [&] {
        const std::string bytes = file_bytes(file);
        auto u32 = [&](std::size_t at) {
            std::uint32_t value = 0;
            for (std::size_t i = 4; i-- > 0;) value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
            return value;
        };
        std::set<std::uint32_t> free;
        const std::uint32_t sectors = static_cast<std::uint32_t>(bytes.size() / 512 - 1);
        for (std::uint32_t k = 0; k < u32(0x2C); ++k)
            for (std::uint32_t i = 0; i < 128 && k * 128 + i < sectors; ++i)
                if (u32((u32(0x4C + 4 * k) + 1) * 512 + 4 * i) == 0xFFFFFFFF) free.insert(k * 128 + i);
        return free;
    };
    const std::set<std::uint32_t> before = free_sectors();
    ASSERT_TRUE(before.count(128));  // the first entry of the second FAT sector
    {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(u"c", to_bytes(pseudo_random(150 * 512, 3)));
        cf->commit();
    }
    const std::set<std::uint32_t> after = free_sectors();
    std::uint32_t highest_taken = 0, lowest_left = 0xFFFFFFFF;
    for (std::uint32_t s : before) {
        if (after.count(s))
            lowest_left = std::min(lowest_left, s);
        else
            highest_taken = std::max(highest_taken, s);
    }
    EXPECT_LT(highest_taken, lowest_left);
}
