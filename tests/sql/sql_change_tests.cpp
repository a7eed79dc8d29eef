// The SQL that changes packages: joins, order and DISTINCT read as asked;
// INSERT, DELETE, CREATE, ALTER and DROP change the tables and the catalog so
// that the committed file reads (by Wine's msi.dll) exactly as one msibuild
// changed with the same statements, and the transform made from it applies.
#include "support/engine_fixtures.h"

#include "support/msi_oracle.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace engine_test;

namespace {

const msi::hresult bad_query = msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX);
const msi::hresult function_failed = msi::hresult_from_win32(msi::ERROR_FUNCTION_FAILED);

test_support::msi_source source_with_doomed_table() {
    auto source = standard_source();
    source.tables.push_back({"Doomed", "Name\tValue\ns72\tS255\nDoomed\tName\nx\ty\nz\tw\n"});
    return source;
}

}  // namespace

TEST(EngineCommit, SqlChangesCommitAsMsibuildsAndTheirTransformApplies) {
    const std::vector<std::string> statements = {
        "CREATE TABLE `Extra` (`Id` CHAR(32) NOT NULL, `Num` INT, `Big` LONG, `Note` LONGCHAR LOCALIZABLE "
        "PRIMARY KEY `Id`)",
        "INSERT INTO `Extra` (`Id`, `Num`, `Big`, `Note`) VALUES ('one', 1, 100000, 'first')",
        "INSERT INTO `Extra` (`Num`, `Id`) VALUES (-2, 'two')",
        "INSERT INTO `Property` (`Property`, `Value`) VALUES ('REBOOT', 'ReallySuppress')",
        "DELETE FROM `Registry` WHERE `Registry` = 'reg3'",
        "ALTER TABLE `Registry` ADD `Extra` SHORT",
        "UPDATE `Registry` SET `Extra` = 7 WHERE `Registry` = 'reg1'",
        "DROP TABLE `Doomed`",
    };
    test_support::temp_dir dir;
    auto source = source_with_doomed_table();
    test_support::build_msi(dir / "original.msi", source);
    std::filesystem::copy_file(dir / "original.msi", dir / "ours.msi");
    source.queries = statements;
    test_support::build_msi(dir / "theirs.msi", source);

    {
        auto db = open(dir / "ours.msi", msi::msiOpenDatabaseModeTransact);
        for (const std::string& s : statements) execute(*db, sys::utf8_to_utf16(s));
        db->Commit();
    }
    const std::string ours = sorted_lines(test_support::oracle_dump(dir / "ours.msi"));
    EXPECT_EQ(ours, sorted_lines(test_support::oracle_dump(dir / "theirs.msi")));
    EXPECT_NE(ours.find("Extra\ttwo\t-2"), std::string::npos) << ours;
    EXPECT_EQ(ours.find("Doomed"), std::string::npos) << ours;

    auto changed = open(dir / "ours.msi", msi::msiOpenDatabaseModeReadOnly);
    auto original = open(dir / "original.msi", msi::msiOpenDatabaseModeReadOnly);
    ASSERT_TRUE(changed->GenerateTransform(original, (dir / "t.mst").u16string()));
    EXPECT_EQ(sorted_lines(test_support::oracle_dump(dir / "original.msi", {}, dir / "t.mst")), ours);
}

TEST(EngineSql, JoinsOrderDistinctAndEveryMatchingDelete) {
    auto db = open(test_support::make_msi(standard_source()), msi::msiOpenDatabaseModeTransact);

    EXPECT_EQ(select_all(*db, u"SELECT Registry, Value FROM Registry ORDER BY Value"),
              (std::vector<std::string>{"reg3\t#8", "reg1\tone", "reg2\ttwo"}));
    EXPECT_EQ(select_all(*db, u"SELECT DISTINCT Name FROM Registry ORDER BY Name"),
              (std::vector<std::string>{"Count", "Shared"}));
    EXPECT_EQ(select_all(*db, u"SELECT Key FROM Kinds ORDER BY Short, Key"),
              (std::vector<std::string>{"b", "a"}));  // null first

    execute(*db, u"INSERT INTO Property (Property, Value) VALUES ('one', 'a')");
    execute(*db, u"INSERT INTO Property (Property, Value) VALUES (?, ?)", {u"two", u"b"});
    // Three tables, column to column, qualified and not; every table's rows
    // keep their order within the join.
    EXPECT_EQ(select_all(*db,
                         u"SELECT Registry, `Kinds`.`Text`, Long2 FROM Registry, Property, Kinds "
                         u"WHERE Registry.Value = Property.Property AND Property.Value = Kinds.Key"),
              (std::vector<std::string>{"reg1\tplain\t2147483647", "reg2\t\t0"}));
    EXPECT_EQ(select_all(*db,
                         u"SELECT Registry.Registry, Kinds.Key FROM Registry, Kinds WHERE Kinds.Short IS NULL "
                         u"AND (Registry.Name = 'Count' OR Registry.Registry = 'reg1') ORDER BY Registry.Value"),
              (std::vector<std::string>{"reg3\tb", "reg1\tb"}));
    EXPECT_EQ(select_all(*db, u"SELECT * FROM Property, Kinds WHERE Property = 'LANG' AND Key = 'b'").at(0),
              "LANG\ten\tb\t\t\t\t-32767\t\t0\t");
    EXPECT_EQ(error_of([&] { db->OpenView(u"SELECT Value FROM Registry, Property"); }), bad_query);
    EXPECT_EQ(error_of([&] { db->OpenView(u"SELECT Registry FROM Registry, Registry"); }), bad_query);

    // Windows Installer's peers delete every other match; every match goes.
    execute(*db, u"CREATE TABLE N (N INT NOT NULL, Label CHAR(8) PRIMARY KEY N)");
    for (int n = 1; n <= 5; ++n)
        execute(*db, u"INSERT INTO N (N, Label) VALUES (" + sys::utf8_to_utf16(std::to_string(n)) + u", 'x')");
    execute(*db, u"DELETE FROM N WHERE N > 1");
    EXPECT_EQ(select_all(*db, u"SELECT N FROM N"), std::vector<std::string>{"1"});

    // A view prepared before its table was dropped reports it, and one
    // prepared before a column was added sees the column.
    auto stale = db->OpenView(u"SELECT * FROM N");
    execute(*db, u"ALTER TABLE N ADD Later LONG");
    stale->Execute();
    EXPECT_EQ(stale->Fetch()->FieldCount(), 3);
    execute(*db, u"DROP TABLE N");
    EXPECT_EQ(error_of([&] { stale->Execute(); }), bad_query);
}

TEST(EngineSql, ChangesTheInstallerRefusesAreRefusedAndChangeNothing) {
    auto db = open(test_support::make_msi(standard_source()), msi::msiOpenDatabaseModeTransact);
    auto run = [&](const std::u16string& sql) { return error_of([&] { execute(*db, sql); }); };
    auto everything = [&] {
        std::vector<std::string> rows;
        for (const char16_t* table : {u"Property", u"Registry", u"Kinds", u"_Tables", u"_Columns"})
            for (std::string& row : select_all(*db, u"SELECT * FROM " + std::u16string(table)))
                rows.push_back(std::move(row));
        return rows;
    };
    // A table at the most columns a table can have.
    std::u16string wide = u"CREATE TABLE Wide (C1 INT NOT NULL";
    for (int c = 2; c <= 32; ++c) wide += u", C" + sys::utf8_to_utf16(std::to_string(c)) + u" INT";
    execute(*db, wide + u" PRIMARY KEY C1)");
    const auto before = everything();

    EXPECT_EQ(run(u"INSERT INTO Property (Property, Value) VALUES ('LANG', 'de')"), function_failed);
    EXPECT_EQ(run(u"INSERT INTO Property (Value) VALUES ('no key')"), function_failed);
    EXPECT_EQ(run(u"INSERT INTO Kinds (Key, Short2) VALUES ('c', 'text')"), function_failed);
    EXPECT_EQ(run(u"INSERT INTO Kinds (Key, Short2) VALUES ('c', 1)"), function_failed);  // Long2 is NOT NULL
    EXPECT_EQ(run(u"INSERT INTO Nowhere (A) VALUES (1)"), bad_query);
    EXPECT_EQ(run(u"INSERT INTO Property (Nothing) VALUES (1)"), bad_query);
    EXPECT_EQ(run(u"DELETE FROM Nowhere"), bad_query);
    EXPECT_EQ(run(u"CREATE TABLE Property (A INT PRIMARY KEY A)"), bad_query);
    EXPECT_EQ(run(u"DROP TABLE Nowhere"), bad_query);
    EXPECT_EQ(run(u"ALTER TABLE Property ADD Value CHAR(5)"), bad_query);
    EXPECT_EQ(run(u"ALTER TABLE Registry ADD Needed INT NOT NULL"), function_failed);
    EXPECT_EQ(run(u"CREATE TABLE T (A INT, B INT PRIMARY KEY B)"), function_failed);
    EXPECT_EQ(run(u"INSERT INTO _Tables (Name) VALUES ('X')"), bad_query);
    EXPECT_EQ(run(u"ALTER TABLE Wide ADD C33 INT"), function_failed);
    // -32768 is how a 2-byte column stores NULL, no value of its own: refused
    // before the statement's first cell changes.
    EXPECT_EQ(run(u"UPDATE Kinds SET Text = 'z', Short = -32768 WHERE Key = 'a'"), function_failed);
    EXPECT_EQ(everything(), before);
}
