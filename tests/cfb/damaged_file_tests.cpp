// Damaged and hostile files: every fault is an automation_error that says
// what is wrong, raised by open or by the read that meets it.
#include "support/cfb_fixtures.h"

#include "msi/automation_error.h"
#include "msi/cfb/compound_file.h"
#include "msi/cfb/storage_tree.h"
#include "msi/cfb/writer.h"
#include "system/atomic_file.h"
#include "system/file_handle.h"
#include "support/file_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace cfb_test;

namespace {

// Layout of the file the new-file writer makes from the two streams below:
// header, FAT (sector 0), directory (1), MiniFAT (2), mini stream (3), then
// "bigstream" in sectors 4..13. Entry 1 is "a" (shorter names first), entry
// 2 "bigstream", which is also the root of the root's tree with "a" on its left.
constexpr std::uint64_t fat_at = 512, directory_at = 1024, minifat_at = 1536;
constexpr std::uint64_t entry(int id) { return directory_at + 128 * id; }
const std::string small_content = pseudo_random(100, 1);
const std::string big_content = pseudo_random(5000, 2);

std::filesystem::path make_file(const std::filesystem::path& dir) {
    auto file = dir / "base.cfb";
    auto cf = msi::compound_file::create(msi::database_class_id);
    cf->write_stream(u"a", to_bytes(small_content));
    cf->write_stream(u"bigstream", to_bytes(big_content));
    cf->save_as(file);
    return file;
}

std::shared_ptr<const std::vector<std::uint8_t>> in_memory(const std::filesystem::path& file) {
    return std::make_shared<const std::vector<std::uint8_t>>(to_bytes(file_bytes(file)));
}

// The failure met by `use` on the file and on the same bytes in memory:
// both sources must refuse alike, the file's message also naming its path.
template <typename Source, typename Use>
std::string failure(const Source& source, Use&& use) {
    try {
        use(msi::compound_file::open(source));
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_OPEN_FAILED));
        return e.what();
    }
    return "(no failure)";
}

template <typename Use>
std::string failure_from_file_and_memory(const std::filesystem::path& file, Use&& use) {
    const std::string from_file = failure(file, use);
    const std::string from_memory = failure(in_memory(file), use);
    const std::string prefix = file.string() + ": ";
    EXPECT_EQ(from_file.rfind(prefix, 0) == 0 ? from_file.substr(prefix.size()) : from_file, from_memory);
    return from_file;
}

std::string open_failure(const std::filesystem::path& file) {
    return failure_from_file_and_memory(file, [](auto&&) {});
}

std::string read_failure(const std::filesystem::path& file, const std::u16string& name) {
    return failure_from_file_and_memory(file, [&](const auto& cf) { cf->read_stream(name); });
}

struct damage {
    const char* what;
    std::uint64_t offset;
    std::uint32_t value;
    const char* message;
};

}  // namespace

TEST(CompoundFileDamage, BrokenStructuresFailAtOpen) {
    test_support::temp_dir dir;
    const damage cases[] = {
        {"sector size", 0x1C, 0xFFFE | (10u << 16), "sector size"},
        {"FAT count", 0x2C, 0x10000000, "more than the file holds"},
        {"FAT location", 0x4C, 5000, "outside the file"},
        {"directory start", 0x30, 0x00FFFFFF, "outside the file"},
        {"directory loop", fat_at + 4 * 1, 1, "loops"},
        {"root type", entry(0) + 0x40, 0x16 | (1u << 16) | (1u << 24), "no root entry"},
        {"tree cycle", entry(1) + 0x44, 2, "cycle"},
        {"tree self-loop", entry(2) + 0x48, 2, "cycle"},
        {"missing child", entry(0) + 0x4C, 77, "does not exist"},
        {"name length", entry(1) + 0x40, 0x00020000 | 200, "malformed name"},
    };
    for (const damage& d : cases) {
        auto file = make_file(dir.path());
        poke32(file, d.offset, d.value);
        EXPECT_NE(open_failure(file).find(d.message), std::string::npos) << d.what << ": " << open_failure(file);
    }
    auto file = make_file(dir.path());
    test_support::write_file(file, "Windows Installer? no, just text\n" + std::string(600, ' '));
    EXPECT_NE(open_failure(file).find("not a compound file"), std::string::npos);
    file = make_file(dir.path());
    std::filesystem::resize_file(file, 300);
    EXPECT_NE(open_failure(file).find("not a compound file"), std::string::npos);
    file = make_file(dir.path());
    std::filesystem::resize_file(file, 1300);
    EXPECT_NE(open_failure(file).find("directory runs past the end"), std::string::npos);
}

TEST(CompoundFileDamage, BrokenStreamsFailWhenReadAndOnlyThen) {
    test_support::temp_dir dir;
    const damage cases[] = {
        {"FAT loop", fat_at + 4 * 4, 4, "loops"},
        {"short chain", fat_at + 4 * 8, 0xFFFFFFFE, "shorter than its size"},
        {"long chain", entry(2) + 0x78, 4600, "longer than its size"},
        {"free sector in chain", fat_at + 4 * 5, 0xFFFFFFFF, "free sector"},
        {"start outside", entry(2) + 0x74, 0x00FFFFFF, "outside the file"},
        {"huge size", entry(2) + 0x78, 0xFFFFFFF0, "runs past the end of the file"},
    };
    for (const damage& d : cases) {
        auto file = make_file(dir.path());
        poke32(file, d.offset, d.value);
        EXPECT_NE(read_failure(file, u"bigstream").find(d.message), std::string::npos)
            << d.what << ": " << read_failure(file, u"bigstream");
        // The damage stays with the one stream: the other still reads.
        EXPECT_EQ(to_string(msi::compound_file::open(file)->read_stream(u"a")), small_content) << d.what;
    }
    auto file = make_file(dir.path());
    poke32(file, minifat_at, 0);
    EXPECT_NE(read_failure(file, u"a").find("loops"), std::string::npos);
    file = make_file(dir.path());
    poke32(file, entry(0) + 0x78, 64);  // mini stream shorter than "a" needs
    EXPECT_NE(read_failure(file, u"a").find("runs past the end"), std::string::npos);
    file = make_file(dir.path());
    std::filesystem::resize_file(file, 3000);
    EXPECT_NE(read_failure(file, u"bigstream").find("runs past the end of the file"), std::string::npos);
}

TEST(CompoundFileDamage, RandomlyCorruptedFilesNeverEscapeAsAnythingElse) {
    test_support::temp_dir dir;
    const std::string clean = file_bytes(make_file(dir.path()));
    auto file = dir / "mutant.cfb";
    std::mt19937 random(20261208);
    int opened = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = clean;
        int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            // Mostly the header, tables and directory, where the structure is.
            std::size_t at = random() % 4 ? random() % 2048 : random() % bytes.size();
            bytes[at] = static_cast<char>(random() % 3 ? random() : (random() % 2 ? 0xFF : 0xFE));
        }
        if (round % 10 == 0) bytes.resize(random() % bytes.size());
        test_support::write_file(file, bytes);
        try {
            auto cf = msi::compound_file::open(std::make_shared<const std::vector<std::uint8_t>>(to_bytes(bytes)));
            for (const auto& name : cf->stream_names()) {
                try {
                    cf->read_stream(name);
                } catch (const msi::automation_error&) {}
            }
        } catch (const msi::automation_error&) {}
        try {
            auto cf = msi::compound_file::open(file);
            ++opened;
            for (const auto& name : cf->stream_names()) {
                try {
                    cf->read_stream(name);
                } catch (const msi::automation_error&) {}
            }
            if (round % 4 == 0) {
                cf->write_stream(u"new", to_bytes(pseudo_random(700, round)));
                cf->remove_stream(u"a");
                cf->commit();
                auto again = msi::compound_file::open(file);
                EXPECT_EQ(to_string(again->read_stream(u"new")), pseudo_random(700, round)) << round;
            }
        } catch (const msi::automation_error&) {}
    }
    EXPECT_GT(opened, 100);  // the mutations leave many files readable enough to exercise reads
}

TEST(CompoundFileDamage, CrossLinkedChainsAreNeverCommittedInto) {
    test_support::temp_dir dir;
    auto file = make_file(dir.path());
    // "bigstream" now starts in the mini stream's sector and runs on through
    // its own: releasing either chain would break the other.
    poke32(file, entry(2) + 0x74, 3);
    poke32(file, fat_at + 4 * 3, 5);
    test_support::file_unchanged_guard guard(file);
    auto cf = msi::compound_file::open(file);
    cf->write_stream(u"bigstream", to_bytes("replacement"));
    try {
        cf->commit();
        ADD_FAILURE() << "committed into a cross-linked file";
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_FUNCTION_FAILED));
        EXPECT_NE(std::string(e.what()).find("shares sectors"), std::string::npos) << e.what();
    }
}

// Chains that end on an entry marked free instead of end-of-chain, in the
// FAT ("bigstream", sectors 4..13) and in the MiniFAT ("a", mini sectors
// 0..1): new data must go elsewhere, and the commit mends the marks.
TEST(CompoundFileDamage, ChainsEndingOnAFreeMarkAreNotCommittedInto) {
    test_support::temp_dir dir;
    auto file = make_file(dir.path());
    poke32(file, fat_at + 4 * 13, 0xFFFFFFFF);
    poke32(file, minifat_at + 4 * 1, 0xFFFFFFFF);
    const std::string new_big = pseudo_random(5000, 9), new_small = pseudo_random(100, 10);
    {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(u"c", to_bytes(new_big));
        cf->write_stream(u"d", to_bytes(new_small));
        cf->commit();
    }
    auto cf = msi::compound_file::open(file);
    EXPECT_EQ(cf->read_stream(u"bigstream"), to_bytes(big_content));
    EXPECT_EQ(cf->read_stream(u"a"), to_bytes(small_content));
    EXPECT_EQ(cf->read_stream(u"c"), to_bytes(new_big));
    EXPECT_EQ(cf->read_stream(u"d"), to_bytes(new_small));
}

// The DIFAT of a large file is read only when a chain needs the FAT sectors
// it lists, and in full by a commit: damage in it is refused on whichever
// path meets it, and a commit that meets it writes nothing.
TEST(CompoundFileDamage, DifatDamageIsRefusedWhereItIsMet) {
    test_support::temp_dir dir;
    // More FAT sectors than the header and one DIFAT sector list (109 + 127).
    const std::string large = pseudo_random(16'000'000, 3);
    auto make_large = [&] {
        auto file = dir / "large.cfb";
        auto cf = msi::compound_file::create(msi::database_class_id);
        cf->write_stream(u"a", to_bytes(small_content));
        cf->write_stream(u"large", to_bytes(large));
        cf->save_as(file);
        return file;
    };
    auto header32 = [](const std::filesystem::path& file, std::size_t at) {
        const std::string b = file_bytes(file);
        return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
               std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
    };
    auto commit_failure = [](const std::filesystem::path& file) -> std::string {
        test_support::file_unchanged_guard guard(file);
        try {
            auto cf = msi::compound_file::open(file);
            cf->write_stream(u"a", to_bytes("changed"));
            cf->commit();
        } catch (const msi::automation_error& e) {
            return e.what();
        }
        return "(committed)";
    };
    struct difat_damage {
        const char* what;
        std::uint32_t slot;  // in the first DIFAT sector; 127 is its link
        bool same_as_first_fat_sector;
        std::uint32_t value;
        const char* read_message;  // reading "large"
        const char* commit_message;
    };
    const difat_damage cases[] = {
        {"FAT sector outside the file", 0, false, 0x00FFFFFF, "lies outside the file", "lies outside the file"},
        {"FAT sector listed twice", 3, true, 0, "names one sector twice", "names one sector twice"},
        {"DIFAT link to itself", 127, false, 0, "DIFAT chain loops", "DIFAT chain loops"},
    };
    for (const difat_damage& d : cases) {
        auto file = make_large();
        const std::uint32_t first_difat = header32(file, 0x44);
        ASSERT_NE(first_difat, 0xFFFFFFFEu) << "the file needs a DIFAT for this test";
        std::uint32_t value = d.same_as_first_fat_sector ? header32(file, 0x4C) : d.value;
        if (d.slot == 127) value = first_difat;
        poke32(file, std::uint64_t(first_difat + 1) * 512 + 4 * d.slot, value);
        std::string read = "(read)";
        {
            auto cf = msi::compound_file::open(file);
            EXPECT_EQ(to_string(cf->read_stream(u"a")), small_content) << d.what;
            try {
                EXPECT_EQ(to_string(cf->read_stream(u"large")), large) << d.what;
            } catch (const msi::automation_error& e) {
                EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_OPEN_FAILED));
                read = e.what();
            }
        }
        EXPECT_NE(read.find(d.read_message), std::string::npos) << d.what << ": " << read;
        const std::string commit = commit_failure(file);
        EXPECT_NE(commit.find(d.commit_message), std::string::npos) << d.what << ": " << commit;
    }
}

// A storage's content is a whole file from outside: one that is no compound
// file, holds a name twice or nests storages past the limit is refused with
// the reason, and nothing is staged.
TEST(DamagedFile, StorageContentThatCannotBeTakenWholeIsRefused) {
    test_support::temp_dir dir;
    auto bytes_of = [&](const msi::cfb::new_entry& root) {
        const auto path = dir / "content.cfb";
        sys::replace_file(path, [&](int fd) {
            auto handle = sys::file_handle::borrow(fd);
            msi::cfb::write_compound_file(handle, root);
        });
        return to_bytes(test_support::read_file(path));
    };
    auto node = [](const char16_t* name, msi::cfb::entry_type type) {
        msi::cfb::new_entry e;
        e.name = name;
        e.type = type;
        e.content = [] { return std::vector<std::uint8_t>{1, 2, 3}; };
        e.size = type == msi::cfb::entry_type::stream ? 3 : 0;
        return e;
    };
    msi::cfb::new_entry twice = node(u"", msi::cfb::entry_type::root);
    // The writer refuses a name twice: the second name is changed in the written directory.
    twice.children = {node(u"same", msi::cfb::entry_type::stream), node(u"samf", msi::cfb::entry_type::stream)};
    std::vector<std::uint8_t> same_twice = bytes_of(twice);
    const std::vector<std::uint8_t> samf = to_bytes(std::string("s\0a\0m\0f\0", 8));
    auto at = std::search(same_twice.begin(), same_twice.end(), samf.begin(), samf.end());
    ASSERT_NE(at, same_twice.end());
    at[0] = 'S', at[2] = 'A', at[4] = 'M', at[6] = 'E';
    msi::cfb::new_entry deep = node(u"level", msi::cfb::entry_type::storage);
    for (int level = 0; level <= msi::cfb::max_storage_depth; ++level) {
        msi::cfb::new_entry outer = node(u"level", msi::cfb::entry_type::storage);
        outer.children.push_back(std::move(deep));
        deep = std::move(outer);
    }
    deep.type = msi::cfb::entry_type::root;
    const std::vector<std::pair<std::vector<std::uint8_t>, std::string>> cases{
        {to_bytes("not a compound file"), "is not a compound file"},
        {same_twice, "two entries named"},
        {bytes_of(deep), "nested more than"},
    };
    auto cf = msi::compound_file::create(msi::database_class_id);
    for (const auto& [content, reason] : cases) {
        try {
            cf->write_storage(u"sub", content);
            ADD_FAILURE() << "accepted: " << reason;
        } catch (const msi::automation_error& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
        EXPECT_FALSE(cf->has_storage(u"sub"));
    }
    // Opened as a file, the same nesting is not copied whole when saved:
    // copying follows storages one level of the stack each.
    const std::vector<std::uint8_t> deep_bytes = bytes_of(deep);
    const auto deep_file = dir / "deep.cfb";
    test_support::write_file(deep_file, std::string(deep_bytes.begin(), deep_bytes.end()));
    auto opened = msi::compound_file::open(deep_file);
    try {
        opened->save_as(dir / "copy.cfb");
        ADD_FAILURE() << "a nesting too deep was copied";
    } catch (const msi::automation_error& e) {
        EXPECT_NE(std::string(e.what()).find("nested more than"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.cfb"));
}
