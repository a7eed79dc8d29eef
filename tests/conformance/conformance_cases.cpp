#include "conformance/conformance_cases.h"

#include "support/fixture_package.h"

#include <algorithm>

namespace conformance {

namespace {

// A package with a table of each shape the grammar meets: integers with
// NULLs and negatives, nullable strings, a parent and a child table to join,
// a two-column key, a binary cell and a stream of its own.
test_support::msi_source base_source() {
    test_support::msi_source s;
    s.tables = {
        test_support::property_table(
            {{"ProductName", "Quorlin PDF Pro"}, {"Manufacturer", "Quorlin"}, {"ALLUSERS", "1"}, {"DT_SHORTCUT", "1"}}),
        {"T", "N\tS\tL\ni2\tS20\tI4\nT\tN\n1\ta\t100\n2\tb\t\n3\t\t300\n4\td\t-5\n5\te\t500\n"},
        {"Parent", "Id\tName\ns16\ts32\nParent\tId\np1\tFirst\np2\tSecond\np3\tThird\n"},
        {"Child",
         "Child\tParent_\tWeight\ns16\ts16\tI2\nChild\tChild\nc1\tp1\t10\nc2\tp1\t20\nc3\tp2\t30\nc4\tp9\t40\n"},
        {"Pair", "A\tB\tV\ns16\ti2\tS32\nPair\tA\tB\nx\t1\tone\nx\t2\ttwo\ny\t1\tthree\n"},
        {"Binary", "Name\tData\ns72\tv0\nBinary\tName\nlogo\tlogo.bin\n"},
    };
    s.files = {{"Binary/logo.bin", "logo bytes"}};
    s.streams = {{"extra", "a stream of its own"}};
    return s;
}

statement_case sql(const std::string& statement, std::vector<std::string> tables = {},
                   std::vector<std::string> values = {}) {
    step s{"SQL", statement};
    s.insert(s.end(), values.begin(), values.end());
    return {"base", {s}, std::move(tables), "", ""};
}

statement_case sequence(std::vector<step> steps, std::vector<std::string> tables, const std::string& fixture = "base") {
    return {fixture, std::move(steps), std::move(tables), "", ""};
}

// View.Modify on a view of `query`: of its first fetched record (fetched)
// or of a new one, with the fields given as "N=value".
step modify(const std::string& mode, const std::string& query, bool fetched, std::vector<std::string> fields) {
    step s{"MODIFY", mode, query, fetched ? "1" : "0"};
    s.insert(s.end(), fields.begin(), fields.end());
    return s;
}

statement_case modify_case(step s, std::vector<std::string> tables) { return {"base", {s}, std::move(tables), "", ""}; }

// Wine's msi.dll deletes while it walks the matching rows and skips the row
// after each one it deletes; Windows deletes every match.
const char* const wine_skips_rows =
    "Wine deletes only every other matching row; Windows deletes every match (documented DELETE)";

statement_case wine_deletes_every_other(const std::string& statement, const std::string& table,
                                        const std::string& documented_table) {
    return {"base", {{"SQL", statement}}, {table}, wine_skips_rows, "STEP 1 ok\nCOMMIT ok\n" + documented_table};
}

const std::string t_header = "#T\tN:i2\tS:S20\tL:I4\n";
const std::string t_rows = "T\t1\ta\t100\nT\t2\tb\t\nT\t3\t\t300\nT\t4\td\t-5\nT\t5\te\t500\n";
const std::string pair_table = "#Pair\tA:s16\tB:i2\tV:S32\nPair\tx\t1\tone\nPair\tx\t2\ttwo\nPair\ty\t1\tthree\n";

// A modify that Wine's msi.dll does not do as Windows documents it, judged
// by the documented outcome (`documented`: the step's lines and the table).
statement_case documented_modify(step s, const std::string& table, const std::string& why,
                                 const std::string& documented) {
    return {"base", {std::move(s)}, {table}, why, documented};
}

const char* const wine_lacks_replace = "Wine's msi.dll does not implement MSIMODIFY_REPLACE (error 120)";
const char* const wine_seek_fails = "Wine's msi.dll fails MSIMODIFY_SEEK on a record with the view's fields";
const char* const wine_merge_lenient =
    "Wine's msi.dll merges a record that differs from the row; Windows documents a failure";

// Wine's msi.dll commits a table that holds a temporary row short: of T's
// five stored rows only the first is written. Windows commits every
// persistent row and no temporary one (documented MsiDatabaseCommit).
const char* const wine_truncates_temporary =
    "Wine writes only T's first row when T holds a temporary row; Windows commits every persistent row";

statement_case with_temporary_row(std::vector<step> steps, const std::string& step_lines) {
    return {"base", std::move(steps), {"T"}, wine_truncates_temporary, step_lines + "COMMIT ok\n" + t_header + t_rows};
}

// The base package's catalog as the oracle dumps it (rows sorted), with rows added.
std::string catalog_dump(const std::string& header, std::vector<std::string> rows) {
    std::sort(rows.begin(), rows.end());
    std::string out = header;
    for (const auto& r : rows) out += r + "\n";
    return out;
}

std::string tables_dump(const std::vector<std::string>& added = {}) {
    std::vector<std::string> rows = {"_Tables\tBinary", "_Tables\tChild",    "_Tables\tPair",
                                     "_Tables\tParent", "_Tables\tProperty", "_Tables\tT"};
    rows.insert(rows.end(), added.begin(), added.end());
    return catalog_dump("#_Tables\tName:s64\n", rows);
}

std::string columns_dump(const std::vector<std::string>& added = {}) {
    std::vector<std::string> rows = {"_Columns\tBinary\t1\tName\t11592",
                                     "_Columns\tBinary\t2\tData\t2304",
                                     "_Columns\tChild\t1\tChild\t11536",
                                     "_Columns\tChild\t2\tParent_\t3344",
                                     "_Columns\tChild\t3\tWeight\t5378",
                                     "_Columns\tPair\t1\tA\t11536",
                                     "_Columns\tPair\t2\tB\t9474",
                                     "_Columns\tPair\t3\tV\t7456",
                                     "_Columns\tParent\t1\tId\t11536",
                                     "_Columns\tParent\t2\tName\t3360",
                                     "_Columns\tProperty\t1\tProperty\t11592",
                                     "_Columns\tProperty\t2\tValue\t3840",
                                     "_Columns\tT\t1\tN\t9474",
                                     "_Columns\tT\t2\tS\t7444",
                                     "_Columns\tT\t3\tL\t4356"};
    rows.insert(rows.end(), added.begin(), added.end());
    return catalog_dump("#_Columns\tTable:s64\tNumber:i2\tName:s64\tType:i2\n", rows);
}

// Temporary columns, and tables of them, are documented as held in memory
// and never stored; Wine's msi.dll gets each case wrong in its own way.
statement_case temporary_columns(std::vector<step> steps, std::vector<std::string> tables, const std::string& why,
                                 const std::string& documented) {
    return {"base", std::move(steps), std::move(tables), why, documented};
}

}  // namespace

std::map<std::string, std::filesystem::path> build_fixtures(const std::filesystem::path& dir) {
    std::map<std::string, std::filesystem::path> fixtures{{"base", dir / "base.msi"}, {"wixl", dir / "wixl.msi"}};
    test_support::build_msi(fixtures["base"], base_source());
    test_support::build_msi_with_shortcuts(fixtures["wixl"]);
    return fixtures;
}

std::vector<statement_case> conformance_cases() {
    std::vector<statement_case> cases = {
        // SELECT: columns, DISTINCT, ORDER BY
        sql("SELECT * FROM T"),
        sql("SELECT N, S FROM T"),
        sql("SELECT `S`, `N` FROM `T`"),
        sql("select * from T where N = 1"),
        sql("SELECT DISTINCT Parent_ FROM Child"),
        sql("SELECT DISTINCT Parent_, Weight FROM Child"),
        sql("SELECT DISTINCT Weight FROM Child ORDER BY Weight"),
        sql("SELECT * FROM T ORDER BY L"),
        sql("SELECT N FROM T ORDER BY S"),
        sql("SELECT * FROM Child ORDER BY Parent_, Weight"),
        sql("SELECT V FROM Pair WHERE A = 'x' ORDER BY B"),
        sql("SELECT * FROM Pair ORDER BY V"),
        sql("SELECT N, N FROM T"),
        sql("SELECT Value FROM Property WHERE Property = 'ProductName'"),
        sql("SELECT Value FROM Property WHERE Property = 'Missing'"),
        sql("SELECT * FROM `Property` WHERE `Value` = '1'"),
        sql("SELECT Name FROM Binary"),
        // WHERE: comparisons, AND, OR, parentheses, NULL
        sql("SELECT * FROM T WHERE N = 3"),
        sql("SELECT * FROM T WHERE N <> 3"),
        sql("SELECT * FROM T WHERE N > 2"),
        sql("SELECT * FROM T WHERE N >= 2 AND N <= 4"),
        sql("SELECT * FROM T WHERE N < 2 OR N > 4"),
        sql("SELECT * FROM T WHERE (N = 1 OR N = 2) AND S = 'a'"),
        sql("SELECT * FROM T WHERE N = 1 OR (N = 2 AND S = 'b')"),
        sql("SELECT * FROM T WHERE N = 1 OR N = 2 AND S = 'a'"),
        sql("SELECT * FROM T WHERE S IS NULL"),
        sql("SELECT * FROM T WHERE S IS NOT NULL"),
        sql("SELECT * FROM T WHERE L IS NULL"),
        sql("SELECT * FROM T WHERE L IS NOT NULL AND N > 1"),
        sql("SELECT * FROM T WHERE S = 'b'"),
        sql("SELECT * FROM T WHERE S <> 'b'"),
        sql("SELECT * FROM T WHERE S = ''"),
        sql("SELECT * FROM T WHERE L > 0"),
        sql("SELECT * FROM T WHERE L < 0"),
        sql("SELECT * FROM T WHERE N > -1"),
        sql("SELECT * FROM T WHERE N = 2 AND N = 3"),
        sql("SELECT N FROM T WHERE S = 'a' OR L IS NULL"),
        sql("SELECT * FROM Pair WHERE A = 'x' AND B = 2"),
        sql("SELECT * FROM Child WHERE Weight >= 20 AND Parent_ <> 'p9'"),
        // joins and column comparisons
        sql("SELECT Child.Child, Parent.Name FROM Child, Parent WHERE Child.Parent_ = Parent.Id"),
        sql("SELECT * FROM Child, Parent WHERE Parent_ = Id"),
        sql("SELECT Child, Name FROM Child, Parent"),
        sql("SELECT Child.Child, Parent.Name FROM Child, Parent WHERE Child.Parent_ = Parent.Id AND Weight > 10"),
        sql("SELECT Child.Child, Parent.Name, T.S FROM Child, Parent, T WHERE Child.Parent_ = Parent.Id AND T.N = 1"),
        sql("SELECT Parent.Name FROM Child, Parent WHERE Child.Parent_ = Parent.Id ORDER BY Parent.Name"),
        sql("SELECT DISTINCT Parent.Name FROM Child, Parent WHERE Child.Parent_ = Parent.Id"),
        sql("SELECT Parent.Id, Child.Child FROM Parent, Child WHERE Parent.Id = Child.Parent_ OR Child.Weight = 40"),
        sql("SELECT * FROM T, Pair WHERE T.N = Pair.B"),
        sql("SELECT T.N, Pair.V FROM T, Pair WHERE T.N = Pair.B AND Pair.A = 'x' ORDER BY T.N"),
        sql("SELECT * FROM Child WHERE Child = Parent_"),
        // ? parameters
        sql("SELECT * FROM T WHERE N = ?", {}, {"i:2"}),
        sql("SELECT * FROM T WHERE S = ?", {}, {"s:d"}),
        sql("SELECT * FROM T WHERE N > ? AND S = ?", {}, {"i:1", "s:e"}),
        sql("SELECT * FROM T WHERE N = ?", {}, {"n"}),
        sql("SELECT * FROM T WHERE S = ?", {}, {"n"}),
        sql("SELECT Name FROM Parent WHERE Id = ?", {}, {"s:p2"}),
        // system tables
        sql("SELECT * FROM _Tables"),
        sql("SELECT * FROM _Columns WHERE `Table` = 'T'"),
        sql("SELECT `Table`, `Number`, `Name` FROM _Columns WHERE `Table` = 'Pair' ORDER BY `Number`"),
        sql("SELECT Name FROM _Tables WHERE Name = 'Child'"),
        sql("SELECT Name FROM _Streams"),
        sql("SELECT Name FROM _Streams WHERE Name = 'extra'"),
        sql("SELECT Name FROM _Storages"),
        sql("SELECT * FROM _Streams WHERE Name = 'extra'"),
        sql("SELECT Name, Data FROM Binary"),
        sql("SELECT Name FROM _Streams WHERE Data = 'x'"),
        // streams bound from records
        sql("INSERT INTO _Streams (Name, Data) VALUES (?, ?)", {"_Streams"}, {"s:added", "b:new stream bytes"}),
        sql("INSERT INTO _Streams (Name, Data) VALUES ('extra', ?)", {"_Streams"}, {"b:twice"}),
        {"base",
         {{"SQL", "UPDATE _Streams SET Data = ? WHERE Name = 'extra'", "b:replaced"}},
         {"_Streams"},
         "Wine's msi.dll keeps a replaced stream's old data at commit; Windows documents the update",
         "STEP 1 ok\nCOMMIT ok\n#_Streams\tName:s62\tData:V0\n_Streams\tBinary.logo\t[stream size=10 "
         "crc32=7C4CE6B6]\n_Streams\t\\x05SummaryInformation\t[stream size=364 crc32=D06A9C30]\n_Streams\textra\t["
         "stream size=8 crc32=9E6762F7]\n"},
        sql("UPDATE _Streams SET Name = 'renamed' WHERE Name = 'extra'", {"_Streams"}),
        sql("UPDATE _Streams SET Data = NULL WHERE Name = 'extra'", {"_Streams"}),
        sql("INSERT INTO Binary (Name, Data) VALUES (?, ?)", {"Binary", "_Streams"}, {"s:icon", "b:icon bytes"}),
        sql("INSERT INTO Binary (Name, Data) VALUES ('empty', ?)", {"Binary", "_Streams"}, {"n"}),
        {"base",
         {{"SQL", "UPDATE Binary SET Data = ? WHERE Name = 'logo'", "b:a new logo"}},
         {"Binary"},
         "Wine's msi.dll fails UPDATE of a binary column; Windows documents it with a ? marker",
         "STEP 1 ok\nCOMMIT ok\n#Binary\tName:s72\tData:v0\nBinary\tlogo\t[stream size=10 crc32=519D0322]\n"},
        sql("DELETE FROM Binary WHERE Name = 'logo'", {"Binary", "_Streams"}),
        {"base",
         {{"SQL", "INSERT INTO _Storages (Name, Data) VALUES ('sub', ?)", "b:no compound file"}},
         {"_Streams"},
         "data that is no compound file: Wine's msi.dll returns the storage layer's STG_E_READFAULT from "
         "MsiViewExecute, whose documented failure is ERROR_FUNCTION_FAILED",
         "STEP 1 error 1627\nCOMMIT ok\n#_Streams\tName:s62\tData:V0\n_Streams\tBinary.logo\t[stream size=10 "
         "crc32=7C4CE6B6]\n_Streams\t\\x05SummaryInformation\t[stream size=364 crc32=D06A9C30]\n_Streams\textra\t["
         "stream size=19 crc32=AD38F3F7]\n"},
        sql("DELETE FROM _Storages WHERE Name = 'sub'", {"_Streams"}),
        sequence({{"SQL", "INSERT INTO _Streams (Name, Data) VALUES (?, ?)", "s:fresh", "b:fresh bytes"},
                  {"SQL", "SELECT Name FROM _Streams WHERE Name = 'fresh'"}},
                 {"_Streams"}),
        // SELECT errors
        sql("SELECT * FROM Nope"),
        sql("SELECT Q FROM T"),
        sql("SELECT * FROM T WHERE Q = 1"),
        sql("SELECT COUNT(*) FROM T"),
        sql("SELECT * FROM T WHERE S LIKE 'a'"),
        sql("SELECT * FROM T WHERE NOT N = 1"),
        sql("SELECT N FROM T ORDER BY N DESC"),
        sql("SELECT * FROM T ORDER BY Q"),
        sql("SELECT * FROM T WHERE"),
        sql("SELECT FROM T"),
        sql("SELECT * FROM T WHERE N = 'x'"),
        sql("SELECT * FROM T WHERE S = 1"),
        sql("SELECT * FROM T WHERE N = 1 AND"),
        sql("SELECT * FROM T WHERE (N = 1"),
        sql("SELECT Name FROM Child, Parent WHERE Child.Q = Parent.Id"),
        sql("SELECT * FROM T WHERE N = ? OR N = ?", {}, {"i:1", "i:5"}),
        sql("SELECT * FROM T WHERE S = 'unterminated"),
        // INSERT
        sql("INSERT INTO T (N, S, L) VALUES (6, 'f', 600)", {"T"}),
        sql("INSERT INTO T (N, S) VALUES (7, 'g')", {"T"}),
        sql("INSERT INTO T (N) VALUES (8)", {"T"}),
        sql("INSERT INTO T (S, N) VALUES ('h', 9)", {"T"}),
        sql("INSERT INTO T (N, S, L) VALUES (?, ?, ?)", {"T"}, {"i:10", "s:param", "i:-7"}),
        sql("INSERT INTO T (N, S, L) VALUES (11, 'big', -2147483647)", {"T"}),
        sql("INSERT INTO T (N, S) VALUES (32767, 'max')", {"T"}),
        sql("INSERT INTO T (N, S) VALUES (-32767, 'min')", {"T"}),
        with_temporary_row({{"SQL", "INSERT INTO T (N, S) VALUES (12, 'tmp') TEMPORARY"}}, "STEP 1 ok\n"),
        sql("INSERT INTO Property (Property, Value) VALUES ('REBOOT', 'ReallySuppress')", {"Property"}),
        sql("INSERT INTO Pair (A, B, V) VALUES ('x', 3, 'new')", {"Pair"}),
        sql("INSERT INTO Child (Child, Parent_) VALUES ('c5', 'p3')", {"Child"}),
        sql("INSERT INTO T (N, S, L) VALUES (13, 'this text is longer than twenty', 1)", {"T"}),
        // INSERT errors
        sql("INSERT INTO T (N, S, L) VALUES (1, 'dup', 1)", {"T"}),
        sql("INSERT INTO Property (Property, Value) VALUES ('ProductName', 'x')", {"Property"}),
        sql("INSERT INTO Pair (A, B, V) VALUES ('x', 1, 'dup')", {"Pair"}),
        sql("INSERT INTO T (S) VALUES ('x')", {"T"}),
        sql("INSERT INTO Parent (Id) VALUES ('p4')", {"Parent"}),
        sql("INSERT INTO T (N, S) VALUES ('x', 'y')", {"T"}),
        sql("INSERT INTO T (N, Q) VALUES (14, 'q')", {"T"}),
        sql("INSERT INTO Nope (A) VALUES (1)"),
        sql("INSERT INTO T (N, S) VALUES (15)", {"T"}),
        sql("INSERT INTO T (N, S) VALUES (16, 'a'), (17, 'b')", {"T"}),
        sql("INSERT INTO T VALUES (18, 'x', 1)", {"T"}),
        sql("INSERT INTO T (N, S) VALUES (?, ?)", {"T"}, {"i:19"}),
        // UPDATE
        sql("UPDATE T SET S = 'z' WHERE N = 1", {"T"}),
        sql("UPDATE T SET S = 'z'", {"T"}),
        sql("UPDATE T SET S = 'z', L = 7 WHERE N > 3", {"T"}),
        sql("UPDATE T SET L = NULL WHERE N = 1", {"T"}),
        sql("UPDATE T SET S = NULL WHERE N = 2", {"T"}),
        sql("UPDATE T SET S = 'w' WHERE S IS NULL", {"T"}),
        sql("UPDATE T SET S = 'q' WHERE N = 1 OR N = 5", {"T"}),
        sql("UPDATE T SET S = ? WHERE N = ?", {"T"}, {"s:bound", "i:4"}),
        sql("UPDATE T SET L = ? WHERE S = ?", {"T"}, {"i:42", "s:b"}),
        sql("UPDATE T SET S = ? WHERE N = 1", {"T"}, {"s:tab\tand\nline\x01"}),
        sql("UPDATE Property SET Value = '0' WHERE Property = 'ALLUSERS'", {"Property"}),
        sql("UPDATE Property SET Value = 'ReallySuppress' WHERE Property = 'REBOOT'", {"Property"}),
        sql("UPDATE Child SET Weight = 5 WHERE Parent_ = 'p1'", {"Child"}),
        sql("UPDATE Pair SET V = 'upd' WHERE A = 'x' AND B = 2", {"Pair"}),
        sql("UPDATE Pair SET V = NULL WHERE A = 'y'", {"Pair"}),
        sql("UPDATE T SET L = -1 WHERE N = 99", {"T"}),
        // UPDATE errors
        sql("UPDATE T SET N = 9 WHERE N = 1", {"T"}),
        sql("UPDATE Pair SET B = 5 WHERE A = 'y'", {"Pair"}),
        sql("UPDATE T SET Q = 1", {"T"}),
        sql("UPDATE Nope SET A = 1"),
        sql("UPDATE T SET L = 'x' WHERE N = 1", {"T"}),
        sql("UPDATE T SET S = 5 WHERE N = 1", {"T"}),
        sql("UPDATE Property SET Value = NULL WHERE Property = 'ALLUSERS'", {"Property"}),
        sql("UPDATE T SET L = L WHERE N = 1", {"T"}),
        sql("UPDATE T SET WHERE N = 1", {"T"}),
        // DELETE
        sql("DELETE FROM T WHERE N = 3", {"T"}),
        sql("DELETE FROM T WHERE S IS NULL", {"T"}),
        sql("DELETE FROM T WHERE N = ?", {"T"}, {"i:2"}),
        sql("DELETE FROM T WHERE N = 99", {"T"}),
        sql("DELETE FROM Property WHERE Property = 'DT_SHORTCUT'", {"Property"}),
        sql("DELETE FROM Pair WHERE A = 'y'", {"Pair"}),
        sql("DELETE FROM _Streams WHERE Name = 'extra'", {"_Streams"}),
        wine_deletes_every_other("DELETE FROM T WHERE N > 1", "T", t_header + "T\t1\ta\t100\n"),
        wine_deletes_every_other("DELETE FROM Child WHERE Parent_ = 'p1'", "Child",
                                 "#Child\tChild:s16\tParent_:s16\tWeight:I2\nChild\tc3\tp2\t30\nChild\tc4\tp9\t40\n"),
        wine_deletes_every_other("DELETE FROM Pair WHERE A = 'x'", "Pair",
                                 "#Pair\tA:s16\tB:i2\tV:S32\nPair\ty\t1\tthree\n"),
        wine_deletes_every_other("DELETE FROM T", "T", t_header),
        // DELETE errors
        sql("DELETE FROM Nope"),
        sql("DELETE FROM T WHERE Q = 1", {"T"}),
        sql("DELETE T WHERE N = 1", {"T"}),
        // CREATE TABLE
        sql("CREATE TABLE New (A CHAR(10) NOT NULL, B SHORT, C INT, D INTEGER, E LONG, F CHARACTER(5), G LONGCHAR, "
            "H OBJECT PRIMARY KEY A)",
            {"New", "_Tables", "_Columns"}),
        sql("CREATE TABLE Loc (K CHAR(72) NOT NULL LOCALIZABLE, V CHAR(0) LOCALIZABLE PRIMARY KEY K)",
            {"Loc", "_Columns"}),
        sql("CREATE TABLE Multi (A CHAR(10) NOT NULL, B SHORT NOT NULL, C LONGCHAR PRIMARY KEY A, B)",
            {"Multi", "_Columns"}),
        sql("CREATE TABLE Tmp (K SHORT NOT NULL TEMPORARY, V CHAR(10) PRIMARY KEY K)", {"_Tables", "_Columns"}),
        sql("CREATE TABLE Held (K SHORT NOT NULL PRIMARY KEY K) HOLD", {"Held", "_Tables"}),
        sql("CREATE TABLE `Select` (`From` CHAR(8) NOT NULL PRIMARY KEY `From`)", {"Select", "_Columns"}),
        sql("CREATE TABLE T (K SHORT NOT NULL PRIMARY KEY K)", {"T", "_Columns"}),
        sql("CREATE TABLE X (K SHORT)", {"_Tables"}),
        sql("CREATE TABLE X (K FOO PRIMARY KEY K)", {"_Tables"}),
        sql("CREATE TABLE X (K SHORT NOT NULL, V CHAR(10) PRIMARY KEY Z)", {"_Tables"}),
        sql("CREATE TABLE X (K SHORT NOT NULL, K SHORT PRIMARY KEY K)", {"_Tables"}),
        sql("CREATE TABLE X (PRIMARY KEY K)", {"_Tables"}),
        // ALTER TABLE
        sql("ALTER TABLE T ADD Extra SHORT", {"T", "_Columns"}),
        sql("ALTER TABLE T ADD Extra2 CHAR(10)", {"T", "_Columns"}),
        sql("ALTER TABLE T ADD Extra LONGCHAR HOLD", {"T", "_Columns"}),
        sql("ALTER TABLE T ADD Extra OBJECT", {"T", "_Columns"}),
        sql("ALTER TABLE T FREE", {"T"}),
        sql("ALTER TABLE T HOLD", {"T"}),
        sql("ALTER TABLE Nope ADD X SHORT"),
        sql("ALTER TABLE T ADD N SHORT", {"T", "_Columns"}),
        sql("ALTER TABLE T DROP S", {"T"}),
        // DROP TABLE
        sql("DROP TABLE Pair", {"_Tables", "_Columns"}),
        sql("DROP TABLE Binary", {"_Tables", "_Streams"}),
        sql("DROP TABLE Nope", {"_Tables"}),
        sql("DROP TABLE _Tables", {"_Tables"}),
        // View.Modify
        modify_case(modify("insert", "SELECT * FROM T", false, {"1=i:6", "2=s:f", "3=i:60"}), {"T"}),
        modify_case(modify("insert", "SELECT * FROM T", false, {"1=i:1", "2=s:dup", "3=n"}), {"T"}),
        modify_case(modify("insert", "SELECT * FROM T", false, {"1=n", "2=s:nokey", "3=n"}), {"T"}),
        modify_case(modify("insert", "SELECT * FROM Property", false, {"1=s:REBOOT", "2=s:ReallySuppress"}),
                    {"Property"}),
        modify_case(modify("insert", "SELECT N, S FROM T", false, {"1=i:20", "2=s:part"}), {"T"}),
        modify_case(modify("insert", "SELECT * FROM Parent", false, {"1=s:p4", "2=n"}), {"Parent"}),
        with_temporary_row({modify("insert_temporary", "SELECT * FROM T", false, {"1=i:7", "2=s:tmp", "3=n"})},
                           "ROW\t7\ttmp\t\nSTEP 1 ok\n"),
        modify_case(modify("update", "SELECT * FROM T WHERE N = 2", true, {"2=s:B"}), {"T"}),
        modify_case(modify("update", "SELECT * FROM T WHERE N = 2", true, {"1=i:20"}), {"T"}),
        modify_case(modify("update", "SELECT S FROM T WHERE N = 1", true, {"1=s:k"}), {"T"}),
        modify_case(modify("update", "SELECT * FROM T", false, {"1=i:3", "2=s:new", "3=n"}), {"T"}),
        modify_case(modify("assign", "SELECT * FROM T", false, {"1=i:8", "2=s:assigned", "3=n"}), {"T"}),
        modify_case(modify("assign", "SELECT * FROM T", false, {"1=i:1", "2=s:A", "3=i:1"}), {"T"}),
        documented_modify(modify("replace", "SELECT * FROM T WHERE N = 2", true, {"2=s:R"}), "T", wine_lacks_replace,
                          "ROW\t2\tR\t\nSTEP 1 ok\nCOMMIT ok\n" + t_header +
                              "T\t1\ta\t100\nT\t2\tR\t\nT\t3\t\t300\nT\t4\td\t-5\nT\t5\te\t500\n"),
        documented_modify(modify("replace", "SELECT * FROM T WHERE N = 2", true, {"1=i:9"}), "T", wine_lacks_replace,
                          "ROW\t9\tb\t\nSTEP 1 ok\nCOMMIT ok\n" + t_header +
                              "T\t1\ta\t100\nT\t3\t\t300\nT\t4\td\t-5\nT\t5\te\t500\nT\t9\tb\t\n"),
        modify_case(modify("merge", "SELECT * FROM T", false, {"1=i:1", "2=s:a", "3=i:100"}), {"T"}),
        documented_modify(modify("merge", "SELECT * FROM T", false, {"1=i:1", "2=s:other", "3=i:100"}), "T",
                          wine_merge_lenient, "STEP 1 error 1627\nCOMMIT ok\n" + t_header + t_rows),
        modify_case(modify("merge", "SELECT * FROM T", false, {"1=i:21", "2=s:merged", "3=n"}), {"T"}),
        modify_case(modify("delete", "SELECT * FROM T WHERE N = 4", true, {}), {"T"}),
        modify_case(modify("delete", "SELECT * FROM Property WHERE Property = 'DT_SHORTCUT'", true, {}), {"Property"}),
        documented_modify(modify("seek", "SELECT * FROM T", false, {"1=i:3", "2=n", "3=n"}), "T", wine_seek_fails,
                          "ROW\t3\t\t300\nSTEP 1 ok\nCOMMIT ok\n" + t_header + t_rows),
        documented_modify(modify("seek", "SELECT * FROM Pair", false, {"1=s:x", "2=i:2", "3=n"}), "Pair",
                          wine_seek_fails, "ROW\tx\t2\ttwo\nSTEP 1 ok\nCOMMIT ok\n" + pair_table),
        modify_case(modify("refresh", "SELECT * FROM T WHERE N = 1", true, {"2=s:changed"}), {"T"}),
        modify_case(modify("insert", "SELECT * FROM T", false, {"1=s:abc", "2=s:x", "3=n"}), {"T"}),
        modify_case(modify("insert", "SELECT * FROM Child, Parent WHERE Parent_ = Id", false,
                           {"1=s:c9", "2=s:p1", "3=i:1", "4=s:p1", "5=s:First"}),
                    {"Child", "Parent"}),
        // ordered sequences in one transaction
        sequence({{"SQL", "INSERT INTO T (N, S) VALUES (6, 'f')"}, {"SQL", "SELECT * FROM T WHERE N >= 5"}}, {"T"}),
        sequence({{"SQL", "INSERT INTO T (N, S) VALUES (6, 'f')"},
                  {"SQL", "UPDATE T SET L = 66 WHERE N = 6"},
                  {"SQL", "DELETE FROM T WHERE N = 1"},
                  {"SQL", "SELECT N, L FROM T ORDER BY N"}},
                 {"T"}),
        sequence({{"SQL", "CREATE TABLE Seq (K SHORT NOT NULL, V CHAR(16) PRIMARY KEY K)"},
                  {"SQL", "INSERT INTO Seq (K, V) VALUES (3, 'three')"},
                  {"SQL", "INSERT INTO Seq (K, V) VALUES (1, 'one')"},
                  {"SQL", "INSERT INTO Seq (K, V) VALUES (2, 'two')"},
                  {"SQL", "SELECT V FROM Seq ORDER BY K"},
                  {"SQL", "ALTER TABLE Seq ADD W SHORT"},
                  {"SQL", "UPDATE Seq SET W = 9 WHERE K = 2"},
                  {"SQL", "SELECT * FROM Seq"}},
                 {"Seq", "_Tables", "_Columns"}),
        sequence({{"SQL", "DROP TABLE Pair"},
                  {"SQL", "SELECT * FROM Pair"},
                  {"SQL", "CREATE TABLE Pair (A CHAR(4) NOT NULL PRIMARY KEY A)"},
                  {"SQL", "INSERT INTO Pair (A) VALUES ('new')"}},
                 {"Pair", "_Columns"}),
        sequence({{"SQL", "INSERT INTO T (N, S) VALUES (6, 'f')"}, {"SQL", "DELETE FROM T WHERE N = 6"}}, {"T"}),
        sequence({{"SQL", "UPDATE T SET S = 'moved' WHERE N = 4"}, {"SQL", "SELECT N FROM T WHERE S = 'moved'"}},
                 {"T"}),
        with_temporary_row(
            {{"SQL", "INSERT INTO T (N, S) VALUES (12, 'tmp') TEMPORARY"}, {"SQL", "SELECT N FROM T WHERE N = 12"}},
            "STEP 1 ok\nROW\t12\nSTEP 2 ok\n"),
        sequence({{"SQL", "CREATE TABLE Held (K SHORT NOT NULL PRIMARY KEY K) HOLD"},
                  {"SQL", "INSERT INTO Held (K) VALUES (1)"},
                  {"SQL", "ALTER TABLE Held FREE"},
                  {"SQL", "SELECT * FROM Held"}},
                 {"Held", "_Tables"}),
        sequence({{"SQL", "INSERT INTO T (N, S) VALUES (1, 'dup')"}, {"SQL", "SELECT S FROM T WHERE N = 1"}}, {"T"}),
        temporary_columns(
            {{"SQL", "CREATE TABLE TmpAll (K SHORT NOT NULL TEMPORARY, V CHAR(10) TEMPORARY PRIMARY KEY K)"},
             {"SQL", "INSERT INTO TmpAll (K, V) VALUES (1, 'one')"},
             {"SQL", "SELECT * FROM TmpAll"},
             {"SQL", "SELECT Name FROM _Tables WHERE Name = 'TmpAll'"}},
            {"_Tables", "_Columns"}, "Wine creates a table of temporary columns, then cannot find it",
            "STEP 1 ok\nSTEP 2 ok\nROW\t1\tone\nSTEP 3 ok\nROW\tTmpAll\nSTEP 4 ok\nCOMMIT ok\n" + tables_dump() +
                columns_dump()),
        temporary_columns({{"SQL", "CREATE TABLE Mix (K SHORT NOT NULL, V CHAR(10) TEMPORARY, W SHORT PRIMARY KEY K)"},
                           {"SQL", "INSERT INTO Mix (K, V, W) VALUES (1, 'one', 7)"},
                           {"SQL", "SELECT * FROM Mix"}},
                          {"Mix", "_Tables", "_Columns"}, "Wine stores the temporary column V with the table",
                          "STEP 1 ok\nSTEP 2 ok\nROW\t1\tone\t7\nSTEP 3 ok\nCOMMIT ok\n#Mix\tK:i2\tW:I2\nMix\t1\t7\n" +
                              tables_dump({"_Tables\tMix"}) +
                              columns_dump({"_Columns\tMix\t1\tK\t9474", "_Columns\tMix\t2\tW\t5378"})),
        temporary_columns(
            {{"SQL", "ALTER TABLE T ADD Note CHAR(10) TEMPORARY"},
             {"SQL", "UPDATE T SET Note = 'n' WHERE N = 1"},
             {"SQL", "SELECT N, Note FROM T WHERE N = 1"}},
            {"T", "_Columns"}, "Wine stores T with the temporary column's cells, and T no longer reads",
            "STEP 1 ok\nSTEP 2 ok\nROW\t1\tn\nSTEP 3 ok\nCOMMIT ok\n" + t_header + t_rows + columns_dump()),
        sequence({{"SQL", "CREATE TABLE Empty (K SHORT NOT NULL PRIMARY KEY K)"},
                  {"SQL", "INSERT INTO Empty (K) VALUES (1) TEMPORARY"}},
                 {"Empty", "_Tables"}),
        with_temporary_row({modify("insert_temporary", "SELECT * FROM T", false, {"1=i:7", "2=s:tmp", "3=n"}),
                            {"SQL", "SELECT N, S FROM T WHERE N = 7"}},
                           "ROW\t7\ttmp\t\nSTEP 1 ok\nROW\t7\ttmp\nSTEP 2 ok\n"),
        // a package built by wixl: the administrator's everyday edits
        sequence({{"SQL", "SELECT Shortcut, Directory_ FROM Shortcut"}}, {}, "wixl"),
        sequence({{"SQL", "DELETE FROM Shortcut WHERE Shortcut = 'DesktopReadme'"}}, {"Shortcut"}, "wixl"),
        sequence({{"SQL", "INSERT INTO Property (Property, Value) VALUES ('REBOOT', 'ReallySuppress')"},
                  {"SQL", "UPDATE Property SET Value = '0' WHERE Property = 'DT_SHORTCUT'"}},
                 {"Property"}, "wixl"),
        sequence({{"SQL",
                   "SELECT Component.Component, File.FileName FROM Component, File WHERE "
                   "Component.KeyPath = File.File"}},
                 {}, "wixl"),
        sequence({{"SQL", "SELECT Feature_ FROM FeatureComponents WHERE Component_ = 'Main'"}}, {}, "wixl"),
        sequence({{"SQL", "DELETE FROM Registry"}}, {"Registry"}, "wixl"),
        sequence({{"SQL", "CREATE TABLE Settings (Name CHAR(72) NOT NULL, Value LONGCHAR PRIMARY KEY Name)"},
                  {"SQL", "INSERT INTO Settings (Name, Value) VALUES ('Server', 'https://example.com')"}},
                 {"Settings", "_Tables"}, "wixl"),
    };
    return cases;
}

std::string known_difference(const statement_case& c) {
    // Where no documentation says what Windows does, these answers are
    // chosen against msi.dll's, each for its reason.
    static const std::pair<const char*, const char*> chosen[] = {
        {"SELECT * FROM Pair ORDER BY V",
         "ORDER BY on strings: ours sorts by text; msi.dll by its string ids, which say nothing to a reader"},
        {"SELECT * FROM T WHERE N = 'x'",
         "a column compared with a literal of the other kind: ours refuses; msi.dll selects no row"},
        {"SELECT * FROM T WHERE S = 1",
         "a column compared with a literal of the other kind: ours refuses; msi.dll selects the row whose S is NULL"},
        {"UPDATE T SET L = 'x' WHERE N = 1",
         "a value of the wrong kind: ours refuses; Wine stores NULL, losing the cell's value"},
        {"UPDATE T SET S = 5 WHERE N = 1",
         "a value of the wrong kind: ours refuses; Wine stores NULL, losing the cell's value"},
        {"INSERT INTO Binary (Name, Data) VALUES ('empty', ?)",
         "NULL in a binary column that is NOT NULL: ours refuses as for other kinds, Wine stores it"},
        {"DELETE FROM Binary WHERE Name = 'logo'",
         "ours removes the deleted binary cell's stream; Wine's msi.dll leaves it in the package"},
        {"DROP TABLE Binary",
         "ours removes the dropped table's binary streams; Wine's msi.dll leaves them in the package"},
    };
    for (const auto& s : c.steps) {
        if (s.empty()) continue;
        if (s.size() < 2) continue;
        const std::string& text = s[1];
        for (const auto& [statement, why] : chosen)
            if (text == statement) return why;
    }
    return "";
}

}  // namespace conformance
