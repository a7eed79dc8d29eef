// Statements through the automation facade: parameters, several rows,
// conditions, and the errors callers see for statements the engine refuses.
#include "support/engine_fixtures.h"

#include "msi/sql/query.h"

#include <gtest/gtest.h>

using namespace engine_test;

namespace {

class EngineQuery : public ::testing::Test {
protected:
    void SetUp() override { db_ = open(package_, msi::msiOpenDatabaseModeTransact); }
    const test_support::package_bytes package_ = test_support::make_msi(standard_source());
    std::shared_ptr<msi::Database> db_;
};

}  // namespace

TEST_F(EngineQuery, ParametersSelectAndEveryMatchingRowIsFetchedInTurn) {
    auto view = db_->OpenView(u"SELECT `Registry`, `Value` FROM `Registry` WHERE `Name` = ? AND `Root` = ?");
    msi::Record params(2);
    params.SetStringData(1, u"Shared");
    params.SetIntegerData(2, 2);
    view->Execute(&params);
    std::vector<std::u16string> keys;
    while (auto r = view->Fetch()) {
        ASSERT_EQ(r->FieldCount(), 2);
        keys.push_back(r->StringData(1) + u"=" + r->StringData(2));
    }
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"reg1=one", u"reg2=two"}));
    EXPECT_FALSE(view->Fetch());

    // Executing again with other parameters starts over.
    params.SetStringData(1, u"Count");
    view->Execute(&params);
    auto r = view->Fetch();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->StringData(2), u"#8");

    EXPECT_EQ(select_all(*db_, u"SELECT Key FROM Kinds WHERE Text IS NULL OR Short = -5").size(), 2u);
    EXPECT_EQ(select_all(*db_, u"SELECT Key FROM Kinds WHERE Text IS NOT NULL AND (Long2 = 0 OR Short2 = 32767)"),
              std::vector<std::string>{"a"});
}

TEST_F(EngineQuery, UpdatesCheckValueKindsAndRangesBeforeChangingAnything) {
    std::string message;
    EXPECT_EQ(error_of([&] { execute(*db_, u"UPDATE Kinds SET Short = 'text'"); }, &message),
              msi::hresult_from_win32(msi::ERROR_FUNCTION_FAILED));
    EXPECT_NE(message.find("Short"), std::string::npos) << message;
    EXPECT_NE(error_of([&] { execute(*db_, u"UPDATE Kinds SET Text = 5 WHERE Key = 'a'"); }), 0);
    EXPECT_NE(error_of([&] { execute(*db_, u"UPDATE Kinds SET Short2 = 40000"); }), 0);
    // One value fits, the other does not: neither row changes.
    EXPECT_NE(error_of([&] { execute(*db_, u"UPDATE Kinds SET Text = 'changed', Long = -2147483648"); }), 0);
    EXPECT_EQ(select_one(*db_, u"SELECT Text FROM Kinds WHERE Key = 'a'"), u"plain");
    // Key columns are not set through UPDATE, binary ones only from a record's stream.
    EXPECT_EQ(error_of([&] { db_->OpenView(u"UPDATE Property SET Property = 'X' WHERE Property = 'LANG'"); }),
              msi::hresult_from_win32(msi::ERROR_FUNCTION_FAILED));
    EXPECT_NE(error_of([&] { execute(*db_, u"UPDATE Kinds SET Data = 1"); }), 0);
    // Text the code page cannot hold.
    EXPECT_NE(error_of([&] { execute(*db_, u"UPDATE Property SET Value = '\u65E5\u672C' WHERE Property = 'LANG'"); }),
              0);
    EXPECT_EQ(select_one(*db_, u"SELECT Value FROM Property WHERE Property = 'LANG'"), u"en");

    // A string parameter is not turned into an integer.
    EXPECT_NE(error_of([&] { execute(*db_, u"UPDATE Kinds SET Long = ? WHERE Key = 'a'", {u"-7"}); }), 0);

    execute(*db_, u"UPDATE Kinds SET Short = NULL, Long = -7, Loc = ? WHERE Key = 'a'", {u"L"});
    EXPECT_EQ(select_all(*db_, u"SELECT Short, Long, Loc FROM Kinds WHERE Key = 'a'"),
              std::vector<std::string>{"\t-7\tL"});
}

TEST_F(EngineQuery, BadStatementsNameWhatWasWrong) {
    std::string message;
    EXPECT_EQ(error_of([&] { db_->OpenView(u"SELEC Value FROM Property"); }, &message),
              msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX));
    EXPECT_EQ(error_of([&] { db_->OpenView(u"SELECT Value FROM Control WHERE Control = 'x'"); }, &message),
              msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX));
    EXPECT_NE(message.find("Control"), std::string::npos) << message;
    EXPECT_EQ(error_of([&] { db_->OpenView(u"SELECT Nothing FROM Property"); }, &message),
              msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX));
    EXPECT_NE(message.find("Nothing"), std::string::npos) << message;
    EXPECT_NE(error_of([&] { db_->OpenView(u"UPDATE Property SET Value = 'O'Brien' WHERE Property = 'LANG'"); }), 0);

    auto view = db_->OpenView(u"SELECT Value FROM Property WHERE Property = ?");
    EXPECT_NE(error_of([&] { view->Fetch(); }), 0) << "Fetch before Execute";
    EXPECT_NE(error_of([&] { view->Execute(); }), 0) << "missing parameter record";

    EXPECT_EQ(error_of([] { msi::Database(nullptr).OpenView(u"SELECT Value FROM Property"); }), msi::E_POINTER);
    EXPECT_EQ(error_of([] { msi::View(nullptr).Fetch(); }), msi::E_POINTER);
    EXPECT_EQ(error_of([&] { msi::Record(1).StringData(2); }), msi::E_INVALIDARG);
    EXPECT_EQ(error_of([&] { msi::create_installer()->OpenDatabase(package_, 3); }), msi::E_INVALIDARG);
}

TEST_F(EngineQuery, EqualityOnAStringColumnFindsTheSameRowsAndErrorsAsAFullScan) {
    // Rows are first picked by the stored bytes of `Name = 'text'`; what the
    // rest of the condition sees, and raises, must not change.
    auto keys = [&](const std::u16string& sql) { return select_all(*db_, sql); };
    const std::vector<std::string> shared{"reg1", "reg2"};
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Name = 'Shared'"), shared);
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE 'Shared' = Name"), shared);
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Name = 'shared'"), std::vector<std::string>{});
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Name = 'Shared' AND Value = 'two'"),
              std::vector<std::string>{"reg2"});
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Name = 'Nobody' OR Value = '#8'"),
              std::vector<std::string>{"reg3"});
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Name = ''"), std::vector<std::string>{});

    // A string compared with an integer is an error for the rows that reach
    // the comparison, and only for them.
    const msi::hresult mismatch = msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX);
    EXPECT_EQ(error_of([&] { keys(u"SELECT Registry FROM Registry WHERE Name = 'Shared' AND Value = 5"); }), mismatch);
    EXPECT_EQ(error_of([&] { keys(u"SELECT Registry FROM Registry WHERE Value = 5 AND Name = 'Nobody'"); }), mismatch);
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Name = 'Nobody' AND Value = 5"), std::vector<std::string>{});

    // Updates pick their rows the same way, and text the code page cannot
    // hold matches nothing rather than failing.
    execute(*db_, u"UPDATE Registry SET Value = ? WHERE Name = ?", {u"three", u"Shared"});
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Value = 'three'"), shared);
    EXPECT_EQ(keys(u"SELECT Registry FROM Registry WHERE Name = '\u65E5\u672C'"), std::vector<std::string>{});
}
