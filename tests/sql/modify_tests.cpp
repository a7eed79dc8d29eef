// View.Modify on the rows a script walks, and temporary rows, columns and
// tables, which queries see but neither a commit nor a transform ever holds.
#include "support/engine_fixtures.h"

#include "msi/db/package_database.h"
#include "support/msi_oracle.h"
#include "system/text_conversion.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace engine_test;

namespace {

const msi::hresult function_failed = msi::hresult_from_win32(msi::ERROR_FUNCTION_FAILED);

}  // namespace

TEST(EngineModify, ChangesTheRowOfTheLastFetchedRecordOnly) {
    auto db = open(test_support::make_msi(standard_source()), msi::msiOpenDatabaseModeTransact);

    // Deleting each record as it is fetched reaches every row.
    auto walk = db->OpenView(u"SELECT Value FROM Registry");
    walk->Execute();
    int deleted = 0;
    while (auto rec = walk->Fetch()) {
        walk->Modify(msi::msiViewModifyDelete, rec);
        ++deleted;
    }
    EXPECT_EQ(deleted, 3);
    EXPECT_TRUE(select_all(*db, u"SELECT * FROM Registry").empty());

    // A record fetched before the last one no longer names a row.
    auto view = db->OpenView(u"SELECT Property, Value FROM Property ORDER BY Property");
    view->Execute();
    auto first = view->Fetch();
    auto second = view->Fetch();
    first->SetStringData(2, u"changed");
    EXPECT_EQ(error_of([&] { view->Modify(msi::msiViewModifyUpdate, first); }), function_failed);
    EXPECT_EQ(select_one(*db, u"SELECT Value FROM Property WHERE Property = '" + second->StringData(1) + u"'"),
              second->StringData(2));

    // A row deleted or a table dropped behind the view's back is an error, not a stale read.
    execute(*db, u"DELETE FROM Property WHERE Property = '" + second->StringData(1) + u"'");
    EXPECT_EQ(error_of([&] { view->Modify(msi::msiViewModifyRefresh, second); }), function_failed);
    auto kinds = db->OpenView(u"SELECT * FROM Kinds");
    kinds->Execute();
    auto kind = kinds->Fetch();
    execute(*db, u"DROP TABLE Kinds");
    EXPECT_NE(error_of([&] { kinds->Modify(msi::msiViewModifyRefresh, kind); }), 0);

    // The catalog is read through Modify, never changed.
    auto catalog = db->OpenView(u"SELECT `Table`, `Number`, `Name` FROM _Columns");
    catalog->Execute();
    auto column = catalog->Fetch();
    column->SetStringData(3, u"Renamed");
    EXPECT_EQ(error_of([&] { catalog->Modify(msi::msiViewModifyUpdate, column); }), function_failed);
    EXPECT_TRUE(select_all(*db, u"SELECT * FROM _Columns WHERE `Name` = 'Renamed'").empty());

    // The validation modes are refused as modes this engine does not have, on any view.
    std::string message;
    EXPECT_EQ(error_of([&] { catalog->Modify(8, column); }, &message), msi::E_INVALIDARG);
    EXPECT_NE(message.find("(validate)"), std::string::npos) << message;
    EXPECT_EQ(error_of([&] { view->Modify(11, first); }), msi::E_INVALIDARG);
}

TEST(EngineCommit, TemporaryRowsColumnsAndTablesAreSeenButNeitherCommittedNorInATransform) {
    test_support::temp_dir dir;
    test_support::write_msi(dir / "original.msi", standard_source());
    std::filesystem::copy_file(dir / "original.msi", dir / "t.msi");
    {
        auto db = open(dir / "t.msi", msi::msiOpenDatabaseModeTransact);
        execute(*db, u"INSERT INTO Property (Property, Value) VALUES ('TMP_SQL', 'a') TEMPORARY");
        auto view = db->OpenView(u"SELECT Property, Value FROM Property");
        view->Execute();
        auto rec = std::make_shared<msi::Record>(2);
        rec->SetStringData(1, u"TMP_MODIFY");
        rec->SetStringData(2, u"b");
        view->Modify(msi::msiViewModifyInsertTemporary, rec);
        execute(*db, u"INSERT INTO Property (Property, Value) VALUES ('KEPT', 'c')");
        // A key once temporary, deleted and inserted again, is an ordinary row.
        execute(*db, u"INSERT INTO Property (Property, Value) VALUES ('AGAIN', 'd') TEMPORARY");
        execute(*db, u"DELETE FROM Property WHERE Property = 'AGAIN'");
        execute(*db, u"INSERT INTO Property (Property, Value) VALUES ('AGAIN', 'e')");
        EXPECT_EQ(select_all(*db,
                             u"SELECT Value FROM Property WHERE Property = 'TMP_SQL' OR Property = "
                             u"'TMP_MODIFY' OR Property = 'KEPT' OR Property = 'AGAIN' ORDER BY Value"),
                  (std::vector<std::string>{"a", "b", "c", "e"}));
        execute(*db, u"ALTER TABLE Registry ADD TMP_Note CHAR(10) TEMPORARY");
        execute(*db, u"UPDATE Registry SET TMP_Note = 'n', Value = 'stored' WHERE Registry = 'reg1'");
        execute(*db, u"CREATE TABLE TMP_Table (K SHORT NOT NULL TEMPORARY, V CHAR(8) TEMPORARY PRIMARY KEY K)");
        execute(*db, u"INSERT INTO TMP_Table (K, V) VALUES (1, 'v')");
        EXPECT_EQ(select_all(*db, u"SELECT TMP_Note, Value FROM Registry WHERE Registry = 'reg1'"),
                  std::vector<std::string>{"n\tstored"});
        EXPECT_EQ(select_all(*db, u"SELECT * FROM TMP_Table"), std::vector<std::string>{"1\tv"});

        auto original = open(dir / "original.msi", msi::msiOpenDatabaseModeReadOnly);
        ASSERT_TRUE(db->GenerateTransform(original, (dir / "t.mst").u16string()));
        db->Commit();
    }
    const std::string committed = test_support::oracle_dump(dir / "t.msi");
    EXPECT_NE(committed.find("Property\tKEPT\tc"), std::string::npos) << committed;
    EXPECT_NE(committed.find("Property\tAGAIN\te"), std::string::npos) << committed;
    EXPECT_NE(committed.find("\tstored\t"), std::string::npos) << committed;
    EXPECT_EQ(committed.find("TMP_"), std::string::npos) << committed;
    EXPECT_EQ(sorted_lines(test_support::oracle_dump(dir / "original.msi", {}, dir / "t.mst")),
              sorted_lines(committed));

    // The pool holds no string that only temporary cells used, and counts only stored cells.
    auto stored = msi::package_database::open(dir / "t.msi", true);
    for (const char16_t* text : {u"TMP_SQL", u"TMP_MODIFY", u"TMP_Note", u"TMP_Table"})
        EXPECT_FALSE(stored->strings().find(text)) << sys::utf16_to_utf8(text);
    const std::vector<std::uint32_t> cells = stored->count_references();
    for (std::uint32_t id = 1; id < stored->strings().id_limit(); ++id)
        EXPECT_EQ(stored->strings().reference_count(id), id < cells.size() ? cells[id] : 0) << "string " << id;
}
