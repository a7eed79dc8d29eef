// Binary data through SQL and records: streams set from records into binary
// cells and `_Streams` commit as msibuild's import of the same data and
// travel in transforms; rows and tables that go take their streams along.
// Judged by Wine's msi.dll.
#include "support/engine_fixtures.h"

#include "support/msi_oracle.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace engine_test;

namespace {

test_support::msi_source source_with_pictures() {
    auto source = standard_source();
    source.tables.push_back({"Pictures", "Name\tData\ns72\tV0\nPictures\tName\na\ta.bin\nb\tb.bin\n"});
    source.files.emplace_back("Pictures/a.bin", "picture a");
    source.files.emplace_back("Pictures/b.bin", "picture b");
    return source;
}

void execute_with_stream(msi::Database& db, const std::u16string& sql, std::vector<std::uint8_t> data) {
    msi::Record params(1);
    params.SetStream(1, std::move(data));
    db.OpenView(sql)->Execute(&params);
}

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

TEST(EngineCommit, StreamsSetThroughRecordsCommitAsMsibuildsAndTravelInTransforms) {
    test_support::temp_dir dir;
    auto source = source_with_pictures();
    test_support::build_msi(dir / "original.msi", source);
    std::filesystem::copy_file(dir / "original.msi", dir / "ours.msi");
    // msibuild imports the data that the statements below set.
    source.tables.back().text += "c\tc.bin\n";
    source.files.back() = {"Pictures/b.bin", "b, drawn again"};
    source.files.emplace_back("Pictures/c.bin", "a third picture");
    source.streams = {{"loose", "a stream of its own"}};
    test_support::build_msi(dir / "theirs.msi", source);

    test_support::write_file(dir / "c.bin", "a third picture");
    {
        auto db = open(dir / "ours.msi", msi::msiOpenDatabaseModeTransact);
        msi::Record row(1);
        row.SetStream(1, dir / "c.bin");
        db->OpenView(u"INSERT INTO Pictures (Name, Data) VALUES ('c', ?)")->Execute(&row);
        execute_with_stream(*db, u"UPDATE Pictures SET Data = ? WHERE Name = 'b'", bytes("b, drawn again"));
        execute_with_stream(*db, u"INSERT INTO _Streams (Name, Data) VALUES ('loose', ?)",
                            bytes("a stream of its own"));

        // What was set reads back before the commit, in pieces.
        auto view = db->OpenView(u"SELECT Data FROM Pictures WHERE Name = 'c'");
        view->Execute();
        auto c = view->Fetch();
        ASSERT_TRUE(c);
        EXPECT_EQ(c->DataSize(1), 15);
        EXPECT_EQ(c->ReadStream(1, 6), bytes("a thir"));
        EXPECT_EQ(c->ReadStream(1, 100), bytes("d picture"));
        EXPECT_TRUE(c->ReadStream(1, 100).empty());
        db->Commit();
    }
    const std::vector<std::string> tables = {"Pictures", "_Streams"};
    const std::string ours = test_support::oracle_dump(dir / "ours.msi", tables);
    EXPECT_EQ(ours, test_support::oracle_dump(dir / "theirs.msi", tables));
    EXPECT_NE(ours.find("_Streams\tloose\t[stream size=19 "), std::string::npos) << ours;

    // The transform carries the binary cells' data; the loose stream belongs
    // to no table and stays out of it.
    auto changed = open(dir / "ours.msi", msi::msiOpenDatabaseModeReadOnly);
    auto original = open(dir / "original.msi", msi::msiOpenDatabaseModeReadOnly);
    ASSERT_TRUE(changed->GenerateTransform(original, (dir / "t.mst").u16string()));
    EXPECT_EQ(test_support::oracle_dump(dir / "original.msi", {"Pictures"}, dir / "t.mst"),
              test_support::oracle_dump(dir / "theirs.msi", {"Pictures"}));
}

TEST(EngineCommit, DeletedRowsAndDroppedTablesTakeTheStreamsOfTheirBinaryCells) {
    test_support::temp_dir dir;
    test_support::write_msi(dir / "p.msi", source_with_pictures());
    const std::string before = test_support::oracle_dump(dir / "p.msi", {"_Streams"});
    for (const char* stream : {"Kinds.a", "Pictures.a", "Pictures.b"})
        ASSERT_NE(before.find(std::string("_Streams\t") + stream + "\t"), std::string::npos) << before;

    auto db = open(dir / "p.msi", msi::msiOpenDatabaseModeTransact);
    execute(*db, u"DELETE FROM Pictures WHERE Name = 'a'");
    execute(*db, u"DROP TABLE Kinds");
    db->Commit();
    const std::string after = test_support::oracle_dump(dir / "p.msi", {"_Streams"});
    EXPECT_EQ(after.find("Kinds.a"), std::string::npos) << after;
    EXPECT_EQ(after.find("Pictures.a"), std::string::npos) << after;
    EXPECT_NE(after.find("_Streams\tPictures.b\t"), std::string::npos) << after;
}

// Sub-storages through SQL: a transform inserted into `_Storages` is an
// embedded transform that msi.dll applies by name after the commit; UPDATE
// replaces its content, DELETE removes it, and data that is no compound
// file is refused with nothing changed.
TEST(EngineCommit, StoragesInsertedReplacedAndDeletedOpenAsEmbeddedTransforms) {
    test_support::temp_dir dir;
    test_support::write_msi(dir / "original.msi", standard_source());
    for (const char* value : {"one", "two"}) {
        const std::string name = std::string(value) + ".msi";
        std::filesystem::copy_file(dir / "original.msi", dir / name);
        auto db = open(dir / name, msi::msiOpenDatabaseModeTransact);
        execute(*db,
                u"INSERT INTO Property (Property, Value) VALUES ('EMBEDDED', '" + sys::utf8_to_utf16(value) + u"')");
        db->Commit();
        auto original = open(dir / "original.msi", msi::msiOpenDatabaseModeReadOnly);
        ASSERT_TRUE(db->GenerateTransform(original, (dir / (std::string(value) + ".mst")).u16string()));
    }
    std::filesystem::copy_file(dir / "original.msi", dir / "p.msi");
    auto embedded = [&](const char* storage) {
        return test_support::run_msi_oracle({"-q", "-t", "Property", (dir / "p.msi").string(), storage});
    };
    auto data = [&](const char* file) {
        const std::string text = test_support::read_file(dir / file);
        return std::vector<std::uint8_t>(text.begin(), text.end());
    };
    {
        auto db = open(dir / "p.msi", msi::msiOpenDatabaseModeTransact);
        execute_with_stream(*db, u"INSERT INTO _Storages (Name, Data) VALUES ('first', ?)", data("one.mst"));
        execute_with_stream(*db, u"INSERT INTO _Storages (Name, Data) VALUES ('second', ?)", data("one.mst"));
        EXPECT_NE(error_of([&] {
                      execute_with_stream(*db, u"INSERT INTO _Storages (Name, Data) VALUES ('third', ?)",
                                          bytes("no compound file"));
                  }),
                  0);
        db->Commit();
    }
    const auto first = embedded(":first");
    ASSERT_EQ(first.exit_code, 0) << first.err;
    EXPECT_EQ(first.out, test_support::run_msi_oracle(
                             {"-q", "-t", "Property", (dir / "original.msi").string(), (dir / "one.mst").string()})
                             .out);
    EXPECT_NE(first.out.find("EMBEDDED\tone"), std::string::npos) << first.out;
    {
        auto db = open(dir / "p.msi", msi::msiOpenDatabaseModeTransact);
        EXPECT_EQ(select_all(*db, u"SELECT Name FROM _Storages"), (std::vector<std::string>{"first", "second"}));
        execute_with_stream(*db, u"UPDATE _Storages SET Data = ? WHERE Name = 'second'", data("two.mst"));
        execute(*db, u"DELETE FROM _Storages WHERE Name = 'first'");
        EXPECT_EQ(select_all(*db, u"SELECT Name FROM _Storages"), std::vector<std::string>{"second"});
        db->Commit();
    }
    const auto second = embedded(":second");
    ASSERT_EQ(second.exit_code, 0) << second.err;
    EXPECT_NE(second.out.find("EMBEDDED\ttwo"), std::string::npos) << second.out;
    EXPECT_NE(embedded(":first").exit_code, 0) << "the deleted storage is gone";
}
