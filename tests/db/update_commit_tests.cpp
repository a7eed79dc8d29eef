// Changing packages: updates stay in memory until Commit, the file then holds
// exactly the new values (judged by Wine's msi.dll and by msitools), rows stay
// in stored key order, every string a cell uses stays counted (new strings
// exactly), and the string reference width follows the pool.
#include "support/engine_fixtures.h"

#include "msi/cfb/compound_file.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "support/file_guard.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>

using namespace engine_test;

namespace {

// For every string id, how many cells of every table refer to it.
std::map<std::uint32_t, std::uint32_t> count_references(msi::package_database& db) {
    std::map<std::uint32_t, std::uint32_t> counts;
    std::vector<std::u16string> names = db.table_names();
    names.push_back(u"_Tables");
    names.push_back(u"_Columns");
    for (const auto& name : names) {
        msi::table& t = db.get_table(name);
        for (std::size_t c = 0; c < t.columns().size(); ++c) {
            if (t.columns()[c].cell_kind() != msi::column::kind::string) continue;
            for (std::size_t r = 0; r < t.row_count(); ++r)
                if (t.cell(r, c) != 0) ++counts[t.cell(r, c)];
        }
    }
    return counts;
}

// Stored counts are kept as they are (msibuild stores some one short), but
// a string that a cell uses is never left without a count, and new strings
// are counted exactly.
void expect_strings_counted(msi::package_database& db, const std::vector<std::u16string>& new_strings = {}) {
    const auto counts = count_references(db);
    const msi::string_pool& pool = db.strings();
    for (auto [id, cells] : counts) EXPECT_GE(pool.reference_count(id), 1u) << "string " << id;
    for (const std::u16string& text : new_strings) {
        const auto id = pool.find(text);
        ASSERT_TRUE(id) << sys::utf16_to_utf8(text);
        EXPECT_EQ(pool.reference_count(*id), counts.at(*id)) << sys::utf16_to_utf8(text);
    }
}

}  // namespace

TEST(EngineCommit, UpdatesReachTheFileOnlyAtCommitAndNothingElseChanges) {
    test_support::temp_dir dir;
    const auto file = dir / "p.msi";
    test_support::build_msi(file, standard_source());
    const std::string before = test_support::oracle_dump(file);
    const std::string summary = test_support::oracle_package_summary(file);

    auto db = open(file, msi::msiOpenDatabaseModeTransact);
    execute(*db, u"UPDATE Property SET Value = '1' WHERE Property = 'IMANAGEENABLED'");
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'IMANAGEENABLED'"), u"1");
    EXPECT_EQ(test_support::oracle_dump(file), before) << "a change reached the file before Commit";
    db->Commit();
    std::string expected = replace_line(before, "Property\tIMANAGEENABLED\t0", "Property\tIMANAGEENABLED\t1");
    EXPECT_EQ(sorted_lines(test_support::oracle_dump(file)), expected);

    // A value with a quote, bound as a parameter; both rows named "Shared" change.
    const std::u16string path = u"C:\\Users\\O'Brien\\iManage\\Work10";
    execute(*db, u"UPDATE Registry SET Value = ? WHERE Name = ?", {path, u"Shared"});
    execute(*db, u"UPDATE Property SET Value = 'unset' WHERE Property = 'NoSuchProperty'");
    db->Commit();
    expected =
        replace_line(expected, "Registry\treg1\t2\tSoftware\\\\Quorlin\tShared\tone\tMainComponent",
                     "Registry\treg1\t2\tSoftware\\\\Quorlin\tShared\t" + sys::utf16_to_utf8(path) + "\tMainComponent");
    expected =
        replace_line(expected, "Registry\treg2\t2\tSoftware\\\\Quorlin\tShared\ttwo\tMainComponent",
                     "Registry\treg2\t2\tSoftware\\\\Quorlin\tShared\t" + sys::utf16_to_utf8(path) + "\tMainComponent");
    // The oracle escapes backslashes in values too.
    std::string escaped;
    for (char c : sys::utf16_to_utf8(path)) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    for (std::size_t at; (at = expected.find(sys::utf16_to_utf8(path))) != std::string::npos;)
        expected.replace(at, sys::utf16_to_utf8(path).size(), escaped);
    EXPECT_EQ(sorted_lines(test_support::oracle_dump(file)), sorted_lines(expected));
    EXPECT_EQ(test_support::oracle_package_summary(file), summary);

    // msitools reads the same file the same way.
    auto export_ = test_support::run_process({"msiinfo", "export", file.string(), "Registry"});
    EXPECT_EQ(export_.exit_code, 0) << export_.err;
    EXPECT_NE(export_.out.find("Shared\t" + sys::utf16_to_utf8(path)), std::string::npos) << export_.out;

    // A change that is never committed is gone when the database goes.
    execute(*db, u"UPDATE Property SET Value = 'lost' WHERE Property = 'LANG'");
    db.reset();
    auto again = open(file, msi::msiOpenDatabaseModeReadOnly);
    EXPECT_EQ(select_one(*again, u"SELECT Value FROM Property WHERE Property = 'LANG'"), u"en");
    EXPECT_EQ(select_one(*again, u"SELECT Value FROM Property WHERE Property = 'IMANAGEENABLED'"), u"1");
}

TEST(EngineCommit, ReadOnlyDatabaseRefusesCommitAndLeavesTheFileAlone) {
    test_support::temp_dir dir;
    const auto file = dir / "p.msi";
    test_support::write_msi(file, standard_source());
    test_support::file_unchanged_guard guard(file);
    auto db = open(file, msi::msiOpenDatabaseModeReadOnly);
    execute(*db, u"UPDATE Property SET Value = 'changed' WHERE Property = 'LANG'");
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'LANG'"), u"changed");
    try {
        db->Commit();
        FAIL() << "Commit of a read-only database succeeded";
    } catch (const msi::automation_error& e) {
        EXPECT_NE(e.code(), 0);
        EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
    }
}

TEST(EngineCommit, RowsStaySortedByStringIdAndStringsStayCounted) {
    test_support::temp_dir dir;
    const auto file = dir / "p.msi";
    test_support::build_msi(file, standard_source());
    auto db = open(file, msi::msiOpenDatabaseModeTransact);
    msi::package_database& engine = db->engine();

    // A key that sorts first by text but gets the newest string id.
    msi::table& property = engine.get_table(u"Property");
    msi::cell_value str;
    str.type = msi::cell_value::kind::string;
    engine.insert_row(property, {str, str}, {u"AAA_FIRST", u"new"});
    // Shared and released strings: "0" leaves the pool, "en" is shared by two cells.
    execute(*db, u"UPDATE Property SET Value = 'en' WHERE Property = 'IMANAGEENABLED'");
    execute(*db, u"UPDATE Property SET Value = '' WHERE Property = 'EMPTYISH'");
    execute(*db, u"UPDATE Kinds SET Text = 'plain', Short = 7 WHERE Key = 'b'");
    db->Commit();
    expect_strings_counted(engine, {u"AAA_FIRST", u"new", u"plain"});
    EXPECT_FALSE(engine.strings().find(u"0")) << "a string no cell uses stayed in the pool";

    // The stored key column of Property is in ascending string id order.
    auto cf = msi::compound_file::open(file);
    auto stream = cf->read_stream(msi::encode_stream_name(u"Property", true));
    const std::size_t rows = stream.size() / 4;
    ASSERT_EQ(rows, 5u);
    std::vector<std::uint32_t> ids;
    for (std::size_t r = 0; r < rows; ++r) ids.push_back(stream[2 * r] | (stream[2 * r + 1] << 8));
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    auto reopened = open(file, msi::msiOpenDatabaseModeReadOnly);
    EXPECT_EQ(reopened->engine().strings().text(ids.back()), u"AAA_FIRST");
    expect_strings_counted(reopened->engine(), {u"AAA_FIRST", u"new", u"plain"});

    const std::string dump = test_support::oracle_dump(file, {"Property", "Kinds"});
    EXPECT_NE(dump.find("Property\tAAA_FIRST\tnew\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Property\tIMANAGEENABLED\ten\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Property\tEMPTYISH\t\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Kinds\tb\tplain\t\t7\t-32767\t\t0\t\n"), std::string::npos) << dump;
}

TEST(EngineCommit, AStringCountedTooLowStaysWhileACellStillUsesIt) {
    // Two cells hold "same", but the stored count says one. Letting one cell
    // go must not free the string, nor give its id to the next new string.
    test_support::temp_dir dir;
    const auto file = dir / "p.msi";
    test_support::msi_source source;
    source.tables.push_back(test_support::property_table({{"A", "same"}, {"B", "same"}, {"C", "c"}}));
    test_support::write_msi(file, source);
    std::uint32_t same = 0;
    {
        auto db = open(file, msi::msiOpenDatabaseModeReadOnly);
        same = *db->engine().strings().find(u"same");
        ASSERT_LT(same, 0x10000u);
    }
    {
        auto cf = msi::compound_file::open(file);
        const std::u16string pool_name = msi::encode_stream_name(u"_StringPool", true);
        auto pool = cf->read_stream(pool_name);
        pool[4 * same + 2] = 1;  // the slot's count
        pool[4 * same + 3] = 0;
        cf->write_stream(pool_name, pool);
        cf->commit();
    }

    auto db = open(file, msi::msiOpenDatabaseModeTransact);
    execute(*db, u"UPDATE Property SET Value = 'other' WHERE Property = 'A'");
    execute(*db, u"UPDATE Property SET Value = 'fresh' WHERE Property = 'C'");
    db->Commit();
    expect_strings_counted(db->engine(), {u"other", u"fresh"});
    db.reset();

    const std::string dump = test_support::oracle_dump(file, {"Property"});
    EXPECT_NE(dump.find("Property\tA\tother\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Property\tB\tsame\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Property\tC\tfresh\n"), std::string::npos) << dump;
    auto again = open(file, msi::msiOpenDatabaseModeReadOnly);
    EXPECT_EQ(again->engine().strings().reference_count(*again->engine().strings().find(u"same")), 1u);
    EXPECT_FALSE(again->engine().strings().find(u"c")) << "a string no cell uses stayed in the pool";
}

TEST(EngineCommit, LongStringWrittenAsTheInstallerReadsIt) {
    test_support::temp_dir dir;
    const auto file = dir / "p.msi";
    test_support::write_msi(file, standard_source());
    // Over 128 KiB and used twice: a layout with the length split over two
    // slots would not survive this.
    std::u16string long_value(150000, u'x');
    long_value[0] = u'B';
    auto db = open(file, msi::msiOpenDatabaseModeTransact);
    execute(*db, u"UPDATE Property SET Value = ? WHERE Property = 'LANG' OR Property = 'EMPTYISH'", {long_value});
    db->Commit();
    db.reset();

    const std::string dump = test_support::oracle_dump(file, {"Property"});
    EXPECT_NE(dump.find("Property\tLANG\t" + sys::utf16_to_utf8(long_value) + "\n"), std::string::npos);
    EXPECT_NE(dump.find("Property\tEMPTYISH\t" + sys::utf16_to_utf8(long_value) + "\n"), std::string::npos);
    EXPECT_NE(dump.find("Property\tProductName\tQuorlin Test\n"), std::string::npos);
    auto again = open(file, msi::msiOpenDatabaseModeReadOnly);
    EXPECT_EQ(select_one(*again, u"SELECT Value FROM Property WHERE Property = 'LANG'"), long_value);
    EXPECT_EQ(again->engine().strings().reference_count(*again->engine().strings().find(long_value)), 2u);
}

TEST(EngineCommit, PoolGrowingPastTwoByteIdsRewritesEveryTable) {
    test_support::temp_dir dir;
    const auto file = dir / "wide.msi";
    test_support::msi_source source = standard_source();
    std::string many = "Key\tValue\ns72\tS255\nMany\tKey\n";
    for (int i = 0; i < 32000; ++i) many += "k" + std::to_string(i) + "\t\n";
    source.tables.push_back({"Many", many});
    test_support::write_msi(file, source);
    const std::string before = test_support::oracle_dump(file);

    auto db = open(file, msi::msiOpenDatabaseModeTransact);
    ASSERT_EQ(db->engine().strings().stored_reference_width(), 2);
    msi::table& table = db->engine().get_table(u"Many");
    msi::cell_value str;
    str.type = msi::cell_value::kind::string;
    std::string expected = before;
    for (int i = 0; i < 34000; ++i) {
        const std::string key = "n" + std::to_string(i);
        db->engine().insert_row(table, {str, msi::cell_value{}}, {sys::utf8_to_utf16(key), u""});
        expected += "Many\t" + key + "\t\n";
    }
    execute(*db, u"UPDATE Many SET Value = 'last' WHERE Key = 'n33999'");
    expected = replace_line(expected, "Many\tn33999\t", "Many\tn33999\tlast");
    ASSERT_EQ(db->engine().strings().reference_width(), 3);
    db->Commit();
    db.reset();

    EXPECT_EQ(sorted_lines(test_support::oracle_dump(file)), expected);
    auto again = open(file, msi::msiOpenDatabaseModeReadOnly);
    EXPECT_EQ(again->engine().strings().stored_reference_width(), 3);
    EXPECT_EQ(select_one(*again, u"SELECT Value FROM Many WHERE Key = 'n33999'"), u"last");
    EXPECT_EQ(select_one(*again, u"SELECT Value FROM Registry WHERE Name = 'Count'"), u"#8");
    expect_strings_counted(again->engine(), {u"last"});
}

// A string let go in the middle of a pool too large for the mini stream:
// the strings after it move up in the data stream, and the commit keeps
// only the sectors before it.
TEST(EngineCommit, AStringLetGoInTheMiddleOfALargePoolMovesTheRest) {
    test_support::temp_dir dir;
    const auto file = dir / "large-pool.msi";
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < 2000; ++i) rows.emplace_back("K" + std::to_string(i), "value " + std::to_string(i));
    test_support::msi_source source;
    source.tables.push_back(test_support::property_table(rows));
    test_support::write_msi(file, source);
    {
        auto db = open(file, msi::msiOpenDatabaseModeTransact);
        execute(*db, u"UPDATE Property SET Value = 'x' WHERE Property = 'K500'");
        db->Commit();
        execute(*db, u"UPDATE Property SET Value = 'y' WHERE Property = 'K1000'");
        db->Commit();
    }
    auto db = open(file, msi::msiOpenDatabaseModeReadOnly);
    EXPECT_FALSE(db->engine().strings().find(u"value 500"));
    const std::vector<std::string> all = select_all(*db, u"SELECT Property, Value FROM Property");
    ASSERT_EQ(all.size(), rows.size());
    for (const std::string& line : all) {
        const std::string key = line.substr(0, line.find('\t'));
        const std::string expected = key == "K500" ? "x" : key == "K1000" ? "y" : "value " + key.substr(1);
        EXPECT_EQ(line, key + "\t" + expected);
    }
}

// Strings whose counts fall to zero are looked for in every table before
// they go (a few searched for one by one, many counted all at once); a
// table not read yet is read in its stream, where a reference to an id past
// 0xFFFF takes 3 bytes. Missed, a string would be freed under its cells.
TEST(EngineCount, UnreadTableWithThreeByteReferencesKeepsItsStrings) {
    for (int shared : {1, 17}) {
        SCOPED_TRACE(std::to_string(shared) + " shared strings");
        test_support::temp_dir dir;
        const auto file = dir / "wide.msi";
        test_support::msi_source source;
        std::string big = "Key\tValue\ns72\tS255\nBig\tKey\n";
        for (int i = 0; i < 35000; ++i) big += "k" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
        source.tables.push_back({"Big", big});
        std::vector<std::pair<std::string, std::string>> properties;
        for (int i = 35000 - shared; i < 35000; ++i)
            properties.emplace_back("P" + std::to_string(i), "v" + std::to_string(i));
        source.tables.push_back(test_support::property_table(properties));
        test_support::write_msi(file, source);
        {
            // Each shared string's stored count says one cell.
            auto db = open(file, msi::msiOpenDatabaseModeReadOnly);
            auto cf = msi::compound_file::open(file);
            const std::u16string pool_name = msi::encode_stream_name(u"_StringPool", true);
            auto pool = cf->read_stream(pool_name);
            for (const auto& [name, value] : properties) {
                const std::uint32_t id = *db->engine().strings().find(sys::utf8_to_utf16(value));
                ASSERT_GE(id, 0x10000u);
                pool[4 * id + 2] = 1;
                pool[4 * id + 3] = 0;
            }
            cf->write_stream(pool_name, pool);
            cf->commit();
        }
        {
            auto db = open(file, msi::msiOpenDatabaseModeTransact);
            ASSERT_EQ(db->engine().strings().stored_reference_width(), 3);
            execute(*db, u"UPDATE Property SET Value = 'changed'");
            db->Commit();
        }
        auto db = open(file, msi::msiOpenDatabaseModeReadOnly);
        EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = 'P34999'"), u"changed");
        EXPECT_EQ(db->engine().strings().reference_count(*db->engine().strings().find(u"v34999")), 1u);
        for (int i : {0, 17000, 32767, 34983, 34999})
            EXPECT_EQ(
                select_one(*db, u"SELECT Value FROM Big WHERE Key = 'k" + sys::utf8_to_utf16(std::to_string(i)) + u"'"),
                u"v" + sys::utf8_to_utf16(std::to_string(i)));
    }
}
