// GenerateTransform judged by Wine's msi.dll: the transform of an edited copy
// against its base, applied to the base, gives the edited copy table for
// table. Edited copies are built by msibuild from changed .idt text, or
// edited through our own engine where msibuild cannot express the edit.
#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/cfb/compound_file.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "support/file_guard.h"
#include "support/msi_oracle.h"
#include "support/temp_dir.h"
#include "transform_fixtures.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace transform_test {
namespace {

using test_support::temp_dir;

class GenerateTransform : public ::testing::Test {
protected:
    void SetUp() override { build(base_path(), base_package()); }
    std::filesystem::path base_path() const { return dir / "base.msi"; }
    std::filesystem::path edited_path() const { return dir / "edited.msi"; }
    std::filesystem::path transform_path() const { return dir / "edited.mst"; }

    // Builds the edited package and checks its transform through the oracle.
    void check_edit(const package_text& edited) {
        build(edited_path(), edited);
        ASSERT_TRUE(generate(edited_path(), base_path(), transform_path()));
        expect_transform_gives(base_path(), transform_path(), edited_path());
    }

    std::set<std::u16string> stream_names() const {
        auto names = msi::compound_file::open(transform_path())->stream_names();
        return {names.begin(), names.end()};
    }

    temp_dir dir{"quorlin-mst"};
};

TEST_F(GenerateTransform, RowsAddedRemovedAndChangedInSeveralTables) {
    test_support::file_unchanged_guard base_untouched(base_path());
    package_text p = rows_changed_across_tables();
    check_edit(p);

    // Only the changed tables have streams; nothing else is written.
    std::set<std::u16string> expected{
        msi::encode_stream_name(u"_StringPool", true), msi::encode_stream_name(u"_StringData", true),
        msi::encode_stream_name(u"Property", true), msi::encode_stream_name(u"Registry", true),
        msi::encode_stream_name(u"Numbers", true)};
    EXPECT_EQ(stream_names(), expected);
    auto file = msi::compound_file::open(transform_path());
    EXPECT_EQ(file->root_class(), msi::transform_class_id);

    // Property records as stored, in ascending key id order: a removal holds
    // the key, an addition or update of Value the key and the value.
    auto records = file->read_stream(msi::encode_stream_name(u"Property", true));
    std::vector<unsigned> keys;
    for (std::size_t at = 0; at + 4 <= records.size(); at += records[at] == 0 && records[at + 1] == 0 ? 4 : 6)
        keys.push_back(records[at + 2] | records[at + 3] << 8);
    EXPECT_EQ(keys.size(), 4u);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
}

TEST_F(GenerateTransform, TablesAddedWithAndWithoutRowsAndTableDropped) {
    package_text p = base_package();
    p.tables.erase("Obsolete");
    p.tables["Fresh"] = "Key\tPriority\tLabel\ns32\ti4\tL64\nFresh\tKey\nalpha\t1\tFirst\nbeta\t2\t\n";
    p.tables["Hollow"] = "Id\tName\ni2\tS32\nHollow\tId\n";
    check_edit(p);
    auto names = stream_names();
    EXPECT_TRUE(names.count(msi::encode_stream_name(u"_Tables", true)));
    EXPECT_TRUE(names.count(msi::encode_stream_name(u"_Columns", true)));
    EXPECT_TRUE(names.count(msi::encode_stream_name(u"Fresh", true)));
    EXPECT_FALSE(names.count(msi::encode_stream_name(u"Hollow", true))) << "a table without rows has no stream";
    EXPECT_FALSE(names.count(msi::encode_stream_name(u"Obsolete", true)));
    EXPECT_FALSE(names.count(msi::encode_stream_name(u"Property", true)));

    // The new tables' columns as Wine reads them from our _Columns records.
    const std::string columns = test_support::oracle_dump(base_path(), {"_Columns"}, transform_path());
    const std::string want_columns = test_support::oracle_dump(edited_path(), {"_Columns"});
    for (const char* line : {"_Columns\tFresh\t1\tKey\t", "_Columns\tFresh\t2\tPriority\t",
                             "_Columns\tFresh\t3\tLabel\t", "_Columns\tHollow\t2\tName\t"}) {
        EXPECT_NE(columns.find(line), std::string::npos) << line;
        EXPECT_NE(want_columns.find(line), std::string::npos) << line;
    }
}

TEST_F(GenerateTransform, BinaryCellsTravelAsTheirOwnStreams) {
    package_text p = base_package();
    p.files["Binary/logo.bin"] = std::string("NEWLOGO") + std::string(2000, '\xFE');
    p.files["Binary/extra.bin"] = std::string(4096 + 17, 'x');  // past the mini stream cutoff
    set_row(p, "Binary", "extra", "extra\textra.bin");
    set_row(p, "Binary", "banner", "");
    check_edit(p);
    auto names = stream_names();
    EXPECT_TRUE(names.count(msi::encode_stream_name(u"Binary.logo", false)));
    EXPECT_TRUE(names.count(msi::encode_stream_name(u"Binary.extra", false)));
    EXPECT_FALSE(names.count(msi::encode_stream_name(u"Binary.banner", false)));
}

TEST_F(GenerateTransform, ColumnAppendedToAnExistingTable) {
    package_text p = base_package();
    p.tables["Numbers"] =
        "Id\tSmall\tLarge\tNote\tExtra\ni2\tI2\tI4\tS64\tS32\nNumbers\tId\n"
        "1\t10\t100000\tone\tadded\n2\t-20\t-200000\ttwo\t\n3\t\t\t\t\n";
    check_edit(p);
}

TEST_F(GenerateTransform, IdenticalDatabasesGiveFalseAndWriteNothing) {
    // Built again from the same text: the same content, though not the same file.
    build(edited_path(), base_package());
    EXPECT_FALSE(generate(edited_path(), base_path(), transform_path()));
    EXPECT_FALSE(std::filesystem::exists(transform_path()));

    test_support::write_file(transform_path(), "an earlier transform");
    EXPECT_FALSE(generate(edited_path(), base_path(), transform_path()));
    EXPECT_EQ(test_support::read_file(transform_path()), "an earlier transform");
}

TEST_F(GenerateTransform, DifferencesATransformCannotExpressAreRefusedAndWriteNothing) {
    struct refused_case {
        const char* what;
        const char* table;
        const char* text;
        const char* message;
    } cases[] = {
        {"type", "Numbers", "Id\tSmall\tLarge\tNote\ni2\tI2\tI2\tS64\nNumbers\tId\n1\t10\t1\tone\n", "type"},
        {"key", "Numbers", "Id\tSmall\tLarge\tNote\ni2\tI2\tI4\tS64\nNumbers\tId\tSmall\n1\t10\t1\tone\n", "key"},
        {"removed column", "Obsolete", "Name\ns32\nObsolete\tName\nold1\n", "removed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        package_text p = base_package();
        p.tables[c.table] = c.text;
        build(edited_path(), p);
        test_support::write_file(transform_path(), "an earlier transform");
        try {
            generate(edited_path(), base_path(), transform_path());
            ADD_FAILURE() << "no error";
        } catch (const msi::automation_error& e) {
            EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_INSTALL_TRANSFORM_FAILURE));
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.table), std::string::npos) << e.what();
        }
        EXPECT_EQ(test_support::read_file(transform_path()), "an earlier transform");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3) << "temporary file left";
    }
}

TEST_F(GenerateTransform, CodePageChangeIsCarriedWithTheStrings) {
    package_text p = base_package();
    p.tables["_ForceCodepage"] = "\n\n1251\t_ForceCodepage\n";
    p.tables["Property"] =
        "Property\tValue\ns72\tl0\nProperty\tProperty\n"
        "ProductCode\t{8F3A1C22-5B6D-4E7F-9A01-23456789ABCD}\n"
        "ProductVersion\t26.4.4\n"
        "UpgradeCode\t{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}\n"
        "ProductName\t\xD0\x9A\xD0\xB2\xD0\xBE\xD1\x80\xD0\xBB\xD0\xB8\xD0\xBD PDF Pro\n"
        "Manufacturer\tQuorlin\n"
        "INSTALLLEVEL\t100\n"
        "DROPBOXDISABLED\t#0\n"
        "GREETING\tcafe\n"
        "EULAURL\thttps://example.invalid/eula\n";
    build(edited_path(), p);
    ASSERT_EQ(open_database(edited_path())->engine().code_page(), 1251) << "fixture";
    ASSERT_TRUE(generate(edited_path(), base_path(), transform_path()));
    expect_transform_gives(base_path(), transform_path(), edited_path());
    auto pool = msi::compound_file::open(transform_path())->read_stream(msi::encode_stream_name(u"_StringPool", true));
    ASSERT_GE(pool.size(), 4u);
    EXPECT_EQ(pool[0] | pool[1] << 8, 1251);
}

// Strings enough for ids past 0xFFFF, so every string cell takes 3 bytes.
TEST_F(GenerateTransform, ThreeByteReferencesWhenThePoolOutgrowsTwoBytes) {
    check_edit(past_two_byte_ids());

    auto file = msi::compound_file::open(transform_path());
    auto pool = file->read_stream(msi::encode_stream_name(u"_StringPool", true));
    EXPECT_NE(pool[3] & 0x80, 0) << "3-byte flag";
    // Property: one update, key and value as 3-byte ids after the 2-byte mask.
    EXPECT_EQ(file->read_stream(msi::encode_stream_name(u"Property", true)).size(), 2u + 3 + 3);
}

// Our engine writes the edit: a value longer than 64 KiB, which the pool
// stores as a long string.
TEST_F(GenerateTransform, LongStringValue) {
    std::filesystem::copy_file(base_path(), edited_path());
    const std::string value(70000, 'z');
    {
        auto copy = open_database(edited_path(), msi::msiOpenDatabaseModeTransact);
        auto view = copy->OpenView(u"UPDATE `Property` SET `Value` = ? WHERE `Property` = 'EULAURL'");
        msi::Record params(1);
        params.SetStringData(1, sys::utf8_to_utf16(value));
        view->Execute(&params);
        copy->Commit();
    }
    ASSERT_TRUE(generate(edited_path(), base_path(), transform_path()));
    std::string want = test_support::oracle_dump(base_path());
    const std::string old_line = "Property\tEULAURL\thttps://example.invalid/eula\n";
    ASSERT_NE(want.find(old_line), std::string::npos);
    want.replace(want.find(old_line), old_line.size(), "Property\tEULAURL\t" + value + "\n");
    EXPECT_EQ(test_support::oracle_dump(base_path(), {}, transform_path()), want);
}

// The utility's own use: twenty updates through SQL on a working copy opened
// in transact mode, a commit, then the transform from that same open object.
TEST_F(GenerateTransform, UpdatesThroughSqlOnAnOpenWorkingCopy) {
    test_support::file_unchanged_guard base_untouched(base_path());
    std::filesystem::copy_file(base_path(), edited_path());
    auto package = open_database(base_path(), msi::msiOpenDatabaseModeTransact);
    auto copy = open_database(edited_path(), msi::msiOpenDatabaseModeTransact);
    const std::vector<std::pair<std::u16string, std::u16string>> properties{
        {u"INSTALLLEVEL", u"1"},
        {u"DROPBOXDISABLED", u"#1"},
        {u"GREETING", u"/b 1"},
        {u"EULAURL", u""},
        {u"ProductName", u"Quorlin PDF Pro \u00e9dition"},
        {u"NOSUCHPROPERTY", u"ignored"}};
    for (const auto& [name, value] : properties) {
        auto view =
            copy->OpenView(u"UPDATE `Property` SET `Value` = '" + value + u"' WHERE `Property` = '" + name + u"'");
        view->Execute();
        copy->Commit();
    }
    for (int i = 0; i < 14; ++i) {
        auto view = copy->OpenView(u"UPDATE `Registry` SET `Value` = ? WHERE `Name` = 'PrintProfile'");
        msi::Record params(1);
        params.SetStringData(1, u"#" + sys::utf8_to_utf16(std::to_string(i)));
        view->Execute(&params);
        copy->Commit();
    }
    ASSERT_TRUE(copy->GenerateTransform(package, sys::utf8_to_utf16(transform_path().string())));
    expect_transform_gives(base_path(), transform_path(), edited_path());
    const std::string applied = test_support::oracle_dump(base_path(), {"Property", "Registry"}, transform_path());
    EXPECT_NE(applied.find("Property\tDROPBOXDISABLED\t#1\n"), std::string::npos);
    EXPECT_NE(applied.find("Property\tEULAURL\t\n"), std::string::npos);
    EXPECT_NE(applied.find("\tPrintProfile\t#13\t"), std::string::npos);
    EXPECT_EQ(applied.find("NOSUCHPROPERTY"), std::string::npos);
}

TEST_F(GenerateTransform, UnwritableTargetRaisesAndLeavesNoFile) {
    package_text p = base_package();
    set_row(p, "Property", "INSTALLLEVEL", "INSTALLLEVEL\t3");
    build(edited_path(), p);
    try {
        generate(edited_path(), base_path(), dir / "missing-folder" / "x.mst");
        ADD_FAILURE() << "no error";
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_CREATE_FAILED));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

}  // namespace
}  // namespace transform_test
