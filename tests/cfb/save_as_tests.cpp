// Whole new files: copies of real packages and storages built in memory.
#include "support/cfb_fixtures.h"

#include "msi/automation_error.h"
#include "msi/cfb/compound_file.h"
#include "support/msi_oracle.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace cfb_test;

TEST(CompoundFileSaveAs, CopyOfAPackageReadsTheSameInWine) {
    test_support::temp_dir dir;
    auto file = build_package(dir.path(), {.long_value = true, .big_stream = true});
    auto copy = dir / "copy.msi";
    msi::compound_file::open(file)->save_as(copy);
    EXPECT_EQ(std::filesystem::file_size(copy) % 512, 0u);
    EXPECT_EQ(test_support::oracle_dump(copy), test_support::oracle_dump(file));
    EXPECT_EQ(test_support::oracle_package_summary(copy), test_support::oracle_package_summary(file));
    ole_view a = ole_read(file), b = ole_read(copy);
    EXPECT_EQ(b.sector_size, 512u);
    EXPECT_TRUE(a.streams == b.streams);
    EXPECT_EQ(a.listing, b.listing);
}

TEST(CompoundFileSaveAs, NewStorageOrdersNamesAndSplitsAtTheCutoff) {
    test_support::temp_dir dir;
    auto file = dir / "new.msi";
    auto cf = msi::compound_file::create(msi::transform_class_id);
    // Around the 4096-byte cutoff, empty, and names whose order depends on
    // length first and case-blind comparison second.
    std::map<std::u16string, std::string> expected;
    const std::vector<std::pair<std::u16string, std::size_t>> streams{{u"b", 4095},
                                                                      {u"A", 4096},
                                                                      {u"ab", 0},
                                                                      {u"Zz", 1},
                                                                      {u"_x", 64},
                                                                      {u"zz9", 65},
                                                                      {u"\x0005SummaryInformation", 200},
                                                                      {plain_stream("Binary.logo"), 10000}};
    for (const auto& [name, size] : streams) {
        expected[name] = pseudo_random(size, static_cast<std::uint32_t>(size));
        cf->write_stream(name, to_bytes(expected[name]));
    }
    cf->write_stream(u"ZZ", to_bytes("same name as Zz"));  // one entry, case-blind
    expected[u"Zz"] = "same name as Zz";
    EXPECT_EQ(cf->stream_names().size(), streams.size());
    cf->save_as(file);

    ole_view ole = ole_read(file);
    EXPECT_NE(ole.listing.find("root 000C1082-0000-0000-C000-000000000046"), std::string::npos);
    ASSERT_EQ(ole.streams.size(), expected.size());
    auto reopened = msi::compound_file::open(file);
    EXPECT_EQ(reopened->root_class(), msi::transform_class_id);
    for (const auto& [name, data] : expected) {
        auto it = ole.streams.find(name);
        ASSERT_NE(it, ole.streams.end());
        EXPECT_TRUE(it->second == data);
        EXPECT_TRUE(to_string(reopened->read_stream(name)) == data);
    }
}

TEST(CompoundFileSaveAs, WineFindsEveryStreamOfANewDatabase) {
    test_support::temp_dir dir;
    auto package = build_package(dir.path(), {.long_value = false});
    auto source = msi::compound_file::open(package);
    auto cf = msi::compound_file::create(msi::database_class_id);
    for (const auto& name : source->stream_names()) cf->write_stream(name, source->read_stream(name));
    std::vector<std::string> extra;
    for (int i = 0; i < 30; ++i) {
        std::string logical = "s" + std::string(i % 7, 'k') + std::to_string(i * 7919 % 1000);
        cf->write_stream(plain_stream(logical.c_str()), to_bytes(pseudo_random(i * 150, i)));
        extra.push_back(logical);
    }
    auto file = dir / "new.msi";
    cf->save_as(file);
    EXPECT_EQ(oracle_rows(file, "Property"), oracle_rows(package, "Property"));
    std::string streams = oracle_rows(file, "_Streams");
    for (const auto& logical : extra) EXPECT_NE(streams.find("\t" + logical + "\t"), std::string::npos) << logical;
}
