// Incremental commits into packages built by msitools, judged by Wine's
// msi.dll (the oracle), msitools and olefile.
#include "support/cfb_fixtures.h"

#include "msi/cfb/format.h"
#include "msi/cfb/printable_name.h"
#include "msi/cfb/writer.h"
#include "msi/automation_error.h"
#include "msi/cfb/compound_file.h"
#include "support/file_guard.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "system/atomic_file.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace cfb_test;

namespace {

const std::u16string string_data = table_stream("_StringData");

// Replaces the one occurrence of `from` in a stream with text of equal length.
void replace_in_stream(msi::compound_file& cf, const std::u16string& name, const std::string& from,
                       const std::string& to) {
    std::string data = to_string(cf.read_stream(name));
    auto at = data.find(from);
    ASSERT_NE(at, std::string::npos);
    data.replace(at, from.size(), to);
    cf.write_stream(name, to_bytes(data));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string msitools(const std::vector<std::string>& argv) {
    auto r = test_support::run_process(argv);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

// The streams olefile finds must be exactly `expected`.
void expect_streams(const std::filesystem::path& file, const std::map<std::u16string, std::string>& expected) {
    ole_view ole = ole_read(file);
    ASSERT_EQ(ole.streams.size(), expected.size());
    for (const auto& [name, data] : expected) {
        auto it = ole.streams.find(name);
        ASSERT_NE(it, ole.streams.end()) << msi::cfb::printable_name(name);
        EXPECT_TRUE(it->second == data) << msi::cfb::printable_name(name);
    }
}

std::map<std::u16string, std::string> all_streams(const std::filesystem::path& file) { return ole_read(file).streams; }

}  // namespace

TEST(CompoundFileCommit, ChangedTableIsSeenByWineAndMsitoolsWhileTheCabinetStaysPut) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = true, .big_stream = true});
    auto original = dir / "original.msi";
    std::filesystem::copy_file(file, original);
    const std::string before = file_bytes(file);
    const std::string big = big_stream_content();
    const auto big_at = before.find(big.substr(0, 4096));
    ASSERT_NE(big_at, std::string::npos);
    auto expected = all_streams(file);

    auto cf = msi::compound_file::open(file);
    replace_in_stream(*cf, string_data, "OldValue1", "NewValue1");
    const std::size_t changed = cf->stream_size(string_data);
    ASSERT_GE(changed, 4096u);  // regular sectors, not the mini stream
    cf->commit();
    EXPECT_FALSE(cf->has_changes());
    EXPECT_NE(to_string(cf->read_stream(string_data)).find("NewValue1"), std::string::npos);

    const std::string after = file_bytes(file);
    EXPECT_EQ(after.size() % 512, 0u);
    // The stream, and new copies of the few table and directory sectors that change.
    EXPECT_LE(after.size(), before.size() + changed + 8 * 512);
    EXPECT_TRUE(after.compare(big_at, big.size(), before, big_at, big.size()) == 0)
        << "the untouched stream moved or changed";

    EXPECT_EQ(oracle_rows(file, "Property"), replaced(oracle_rows(original, "Property"), "OldValue1", "NewValue1"));
    EXPECT_NE(msitools({"msiinfo", "export", file.string(), "Property"}).find("Marker\tNewValue1"), std::string::npos);
    expected[string_data] = replaced(expected[string_data], "OldValue1", "NewValue1");
    expect_streams(file, expected);
}

TEST(CompoundFileCommit, SmallStreamsAddedChangedAndRemovedThroughTheMiniStream) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = false});
    auto original = dir / "original.msi";
    std::filesystem::copy_file(file, original);
    auto expected = all_streams(file);

    auto cf = msi::compound_file::open(file);
    ASSERT_LT(cf->stream_size(string_data), 4096u);
    replace_in_stream(*cf, string_data, "OldValue1", "NewValue1");
    const std::string added = pseudo_random(1000, 21), added_big = pseudo_random(6000, 22);
    cf->write_stream(plain_stream("added.bin"), to_bytes(added));
    cf->write_stream(plain_stream("added2.bin"), to_bytes(added_big));
    cf->write_stream(plain_stream("empty.bin"), {});
    cf->remove_stream(plain_stream("small.bin"));
    cf->commit();

    EXPECT_EQ(oracle_rows(file, "Property"), replaced(oracle_rows(original, "Property"), "OldValue1", "NewValue1"));
    std::string streams = oracle_rows(file, "_Streams");
    EXPECT_NE(streams.find("added.bin\t[stream size=1000 "), std::string::npos) << streams;
    EXPECT_NE(streams.find("added2.bin\t[stream size=6000 "), std::string::npos) << streams;
    EXPECT_EQ(streams.find("small.bin"), std::string::npos) << streams;
    EXPECT_EQ(msitools({"msiinfo", "extract", file.string(), "added.bin"}), added);

    expected[string_data] = replaced(expected[string_data], "OldValue1", "NewValue1");
    expected.erase(plain_stream("small.bin"));
    expected[plain_stream("added.bin")] = added;
    expected[plain_stream("added2.bin")] = added_big;
    expected[plain_stream("empty.bin")] = "";
    expect_streams(file, expected);
}

TEST(CompoundFileCommit, RepeatedCommitsReuseTheSectorsTheyFreed) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = true});
    auto cf = msi::compound_file::open(file);
    std::vector<std::uintmax_t> sizes;
    for (int i = 0; i < 6; ++i) {
        bool forward = i % 2 == 0;
        replace_in_stream(*cf, string_data, forward ? "OldValue1" : "NewValue1", forward ? "NewValue1" : "OldValue1");
        cf->write_stream(plain_stream("small.bin"), to_bytes(pseudo_random(300, 100 + i)));
        cf->commit();
        sizes.push_back(std::filesystem::file_size(file));
    }
    EXPECT_EQ(sizes[5], sizes[1]);
    EXPECT_NE(oracle_rows(file, "Property").find("Marker\tOldValue1"), std::string::npos);
    EXPECT_EQ(msitools({"msiinfo", "extract", file.string(), "small.bin"}), pseudo_random(300, 105));
}

// A few changed bytes inside a large stream cost the sectors that hold them,
// not a new copy of the whole stream: the rest stays where it was.
TEST(CompoundFileCommit, SmallChangeInALargeStreamRewritesOnlyTheSectorsItTouches) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = true});
    std::string data = pseudo_random(600'000, 3);
    {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(plain_stream("large.bin"), to_bytes(data));
        cf->commit();
    }
    const std::string before = test_support::read_file(file);
    data[300'000] ^= 0x5A;
    {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(plain_stream("large.bin"), to_bytes(data));
        cf->commit();
    }
    const std::string after = test_support::read_file(file);
    auto sector = [](const std::string& file, std::size_t at) {
        return at < file.size() ? file.substr(at, 512) : std::string();
    };
    std::size_t changed = 0;
    for (std::size_t at = 0; at < std::max(before.size(), after.size()); at += 512)
        changed += sector(before, at) != sector(after, at);
    // The changed sector, the FAT sectors that chain it, the directory and
    // the header: a handful of the stream's 1,172.
    EXPECT_LE(changed, 10u);
    EXPECT_TRUE(all_streams(file)[plain_stream("large.bin")] == data);
    EXPECT_TRUE(msitools({"msiinfo", "extract", file.string(), "large.bin"}) == data);
}

TEST(CompoundFileCommit, LargeNewStreamGrowsTheFatIntoDifatSectors) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = false});
    auto original = dir / "original.msi";
    std::filesystem::copy_file(file, original);
    const std::string big = big_stream_content();
    {
        auto cf = msi::compound_file::open(file);
        cf->write_stream(plain_stream("big.bin"), to_bytes(big));
        cf->commit();
    }
    EXPECT_EQ(oracle_rows(file, "Property"), oracle_rows(original, "Property"));
    EXPECT_TRUE(msitools({"msiinfo", "extract", file.string(), "big.bin"}) == big);
    // Reopened, the DIFAT is read back; a further commit still works.
    auto cf = msi::compound_file::open(file);
    EXPECT_TRUE(to_string(cf->read_stream(plain_stream("big.bin"))) == big);
    replace_in_stream(*cf, string_data, "OldValue1", "NewValue1");
    // Another 8 MB: the FAT passes 109 + 127 sectors, so a second DIFAT sector
    // is chained to the first.
    const std::string second = pseudo_random(big_stream_size, 8);
    cf->write_stream(plain_stream("big2.bin"), to_bytes(second));
    cf->commit();
    EXPECT_NE(oracle_rows(file, "Property").find("Marker\tNewValue1"), std::string::npos);
    ole_view ole = ole_read(file);
    EXPECT_TRUE(ole.streams[plain_stream("big.bin")] == big);
    EXPECT_TRUE(ole.streams[plain_stream("big2.bin")] == second);
    EXPECT_TRUE(msitools({"msiinfo", "extract", file.string(), "big2.bin"}) == second);
}

TEST(CompoundFileCommit, FirstSmallStreamCreatesMiniFatAndMiniStream) {
    test_support::temp_dir dir;
    auto file = dir / "large-only.cfb";
    const std::string large = pseudo_random(9000, 1), small = pseudo_random(130, 2);
    {
        auto cf = msi::compound_file::create(msi::database_class_id);
        cf->write_stream(u"large", to_bytes(large));
        cf->save_as(file);
    }
    auto cf = msi::compound_file::open(file);
    cf->write_stream(u"small", to_bytes(small));
    cf->commit();
    expect_streams(file, {{u"large", large}, {u"small", small}});
}

TEST(CompoundFileCommit, ManyNewNamesKeepTheDirectoryOrderedForWine) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = false});
    auto expected = all_streams(file);
    auto cf = msi::compound_file::open(file);
    // Names of many lengths, encoded and literal, upper and lower case: the
    // directory grows by several sectors and the root's tree is rebuilt.
    std::vector<std::u16string> names;
    std::vector<std::string> logicals;
    for (int i = 0; i < 40; ++i) {
        std::string logical =
            std::string(1 + i % 9, static_cast<char>(i % 2 ? 'a' + i % 26 : 'A' + i % 26)) + "_" + std::to_string(i);
        std::u16string name =
            i % 3 == 0 ? std::u16string(logical.begin(), logical.end()) : plain_stream(logical.c_str());
        names.push_back(name);
        logicals.push_back(logical);
        cf->write_stream(name, to_bytes(pseudo_random(50 + i * 37, i)));
        expected[name] = pseudo_random(50 + i * 37, i);
    }
    cf->remove_stream(plain_stream("small.bin"));
    expected.erase(plain_stream("small.bin"));
    cf->commit();

    expect_streams(file, expected);
    // Wine enumerates and finds streams by walking the sibling trees.
    std::string streams = oracle_rows(file, "_Streams");
    for (const auto& logical : logicals) EXPECT_NE(streams.find("\t" + logical + "\t"), std::string::npos) << logical;
    auto reopened = msi::compound_file::open(file);
    for (const auto& name : names) EXPECT_TRUE(reopened->has_stream(name));
}

TEST(CompoundFileCommit, VersionFourFileTakesChangesInItsOwnSectorSize) {
    test_support::temp_dir dir;
    auto v3 = build_package(dir.path(), {.long_value = true});
    auto file = dir / "v4.msi";
    convert_to_version4(v3, file);
    auto expected = all_streams(file);
    auto cf = msi::compound_file::open(file);
    replace_in_stream(*cf, string_data, "OldValue1", "NewValue1");
    cf->write_stream(plain_stream("small.bin"), to_bytes(pseudo_random(300, 5)));
    cf->write_stream(plain_stream("more.bin"), to_bytes(pseudo_random(20000, 6)));
    cf->set_root_class(msi::database_class_id);
    cf->commit();

    EXPECT_EQ(std::filesystem::file_size(file) % 4096, 0u);
    EXPECT_EQ(ole_read(file).sector_size, 4096u);
    expected[string_data] = replaced(expected[string_data], "OldValue1", "NewValue1");
    expected[plain_stream("small.bin")] = pseudo_random(300, 5);
    expected[plain_stream("more.bin")] = pseudo_random(20000, 6);
    expect_streams(file, expected);
    EXPECT_NE(oracle_rows(file, "Property").find("Marker\tNewValue1"), std::string::npos);
}

TEST(CompoundFileCommit, SubStoragesAndTheRootClassSurviveCommitAndSaveAs) {
    test_support::temp_dir dir;
    auto package = build_package(dir.path(), {.long_value = false});
    auto file = dir / "embedded.msi";
    {
        // The package plus an embedded transform-like storage.
        auto source = msi::compound_file::open(package);
        msi::cfb::new_entry root;
        root.type = msi::cfb::entry_type::root;
        root.clsid = msi::database_class_id;
        for (const auto& name : source->stream_names()) {
            msi::cfb::new_entry stream;
            stream.name = name;
            auto data = source->read_stream(name);
            stream.size = data.size();
            stream.content = [data] { return data; };
            root.children.push_back(stream);
        }
        msi::cfb::new_entry storage;
        storage.name = u"#embedded";
        storage.type = msi::cfb::entry_type::storage;
        storage.clsid = msi::transform_class_id;
        for (auto [name, size] : std::vector<std::pair<std::u16string, int>>{{u"x", 100}, {u"longer", 5000}}) {
            msi::cfb::new_entry stream;
            stream.name = name;
            stream.size = size;
            stream.content = [size] { return to_bytes(pseudo_random(size, size)); };
            storage.children.push_back(stream);
        }
        root.children.push_back(storage);
        sys::replace_file(file, [&](int fd) {
            auto handle = sys::file_handle::borrow(fd);
            msi::cfb::write_compound_file(handle, root);
        });
    }
    auto storage_lines = [](const std::filesystem::path& f) {
        std::string listing = ole_read(f).listing, out;
        std::istringstream in(listing);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("2300", 0) == 0) out += line + "\n";  // '#' opens the storage's paths
        return out;
    };
    const std::string before = storage_lines(file);
    ASSERT_NE(before.find("storage 0 000C1082-0000-0000-C000-000000000046"), std::string::npos) << before;

    auto cf = msi::compound_file::open(file);
    EXPECT_FALSE(cf->has_stream(u"#embedded"));
    EXPECT_THROW(cf->write_stream(u"#embedded", {1}), msi::automation_error);
    replace_in_stream(*cf, string_data, "OldValue1", "NewValue1");
    cf->write_stream(plain_stream("new.bin"), to_bytes("new"));
    cf->commit();
    EXPECT_EQ(storage_lines(file), before);
    EXPECT_NE(oracle_rows(file, "Property").find("Marker\tNewValue1"), std::string::npos);

    cf->set_root_class(msi::patch_class_id);
    cf->commit();
    EXPECT_EQ(msi::compound_file::open(file)->root_class(), msi::patch_class_id);
    auto copy = dir / "copy.msi";
    cf->set_root_class(msi::database_class_id);
    cf->save_as(copy);
    EXPECT_EQ(storage_lines(copy), before);
    EXPECT_EQ(oracle_rows(copy, "Property"), oracle_rows(file, "Property"));
}

TEST(CompoundFileCommit, ReplacedFileIsNotWrittenTo) {
    test_support::temp_dir dir;
    auto file = write_package(dir.path(), {.long_value = false});
    auto other = dir / "other.msi";
    std::filesystem::copy_file(file, other);
    auto cf = msi::compound_file::open(file);
    std::filesystem::rename(other, file);
    test_support::file_unchanged_guard guard(file);
    cf->write_stream(plain_stream("x.bin"), {1, 2, 3});
    try {
        cf->commit();
        ADD_FAILURE() << "commit wrote into a file that replaced the opened one";
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_FILE_INVALID));
    }
}
