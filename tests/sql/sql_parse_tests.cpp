// What the parser accepts and builds, and what it rejects with which message.
#include "msi/automation_error.h"
#include "msi/sql/parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msi::sql;

namespace {

const select_statement& as_select(const statement& s) { return std::get<select_statement>(s); }
const update_statement& as_update(const statement& s) { return std::get<update_statement>(s); }

// The message of the automation error raised for sql, after checking its code.
std::string rejection(std::u16string_view sql) {
    try {
        parse(sql);
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX));
        return e.what();
    }
    ADD_FAILURE() << "accepted";
    return {};
}

}  // namespace

TEST(SqlParse, TheProgramsOwnStatements) {
    auto query = parse(u"SELECT Value FROM Property WHERE Property = 'IMANAGEENABLED'");
    const auto& select = as_select(query);
    EXPECT_EQ(select.columns, std::vector<std::u16string>{u"Value"});
    EXPECT_EQ(select.tables, std::vector<std::u16string>{u"Property"});
    ASSERT_TRUE(select.where);
    EXPECT_EQ(select.where->type, condition::kind::compare);
    EXPECT_EQ(select.where->op, comparison::equal);
    EXPECT_EQ(select.where->left->type, expression::kind::column);
    EXPECT_EQ(select.where->left->column, u"Property");
    EXPECT_EQ(select.where->right->type, expression::kind::literal);
    EXPECT_EQ(select.where->right->literal.text, u"IMANAGEENABLED");

    auto update = parse(u"UPDATE Registry SET Value = '#8' WHERE Name = 'PrintBandSize'");
    const auto& u = as_update(update);
    EXPECT_EQ(u.table, u"Registry");
    ASSERT_EQ(u.assignments.size(), 1u);
    EXPECT_EQ(u.assignments[0].column, u"Value");
    EXPECT_EQ(u.assignments[0].value->literal.type, value::kind::string);
    EXPECT_EQ(u.assignments[0].value->literal.text, u"#8");
    EXPECT_EQ(u.where->right->literal.text, u"PrintBandSize");
    EXPECT_EQ(parameter_count(update), 0u);
}

TEST(SqlParse, NamesKeywordsAndLiterals) {
    // Keywords in any case, back-quoted names (which may be keywords or hold spaces).
    auto s = parse(u"select `Value`, `Where`, `odd name` FrOm `Property` wHeRe `Property`='A'");
    const auto& select = as_select(s);
    EXPECT_EQ(select.columns, (std::vector<std::u16string>{u"Value", u"Where", u"odd name"}));
    EXPECT_EQ(select.tables, std::vector<std::u16string>{u"Property"});

    EXPECT_TRUE(as_select(parse(u"SELECT * FROM Property")).columns.empty());
    EXPECT_FALSE(as_select(parse(u"SELECT * FROM Property")).where);
    // Whitespace of every kind, and none where none is needed.
    EXPECT_TRUE(as_select(parse(u"SELECT\t*\r\nFROM Property WHERE(Property='X')")).where);

    // Text is kept verbatim, non-ASCII and backslashes included; '' is null.
    auto u = parse(
        u"UPDATE Property SET Value = 'C:\\Users\\Zoë\\日本', Other = '', N = -2147483648, "
        u"M = 2147483647, K = NULL");
    const auto& a = as_update(u).assignments;
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0].value->literal.text, u"C:\\Users\\Zoë\\日本");
    EXPECT_EQ(a[1].value->literal.type, value::kind::null);
    EXPECT_EQ(a[2].value->literal.type, value::kind::integer);
    EXPECT_EQ(a[2].value->literal.integer, INT32_MIN);
    EXPECT_EQ(a[3].value->literal.integer, INT32_MAX);
    EXPECT_EQ(a[4].value->literal.type, value::kind::null);
}

TEST(SqlParse, ParametersAreNumberedSetListFirst) {
    auto s = parse(u"UPDATE Registry SET Value = ?, Root = ? WHERE Name = ? AND (Key = ? OR ? = Key)");
    const auto& u = as_update(s);
    EXPECT_EQ(parameter_count(s), 5u);
    EXPECT_EQ(u.assignments[0].value->parameter, 1u);
    EXPECT_EQ(u.assignments[1].value->parameter, 2u);
    EXPECT_EQ(u.where->first->right->parameter, 3u);
    EXPECT_EQ(u.where->second->first->right->parameter, 4u);
    EXPECT_EQ(u.where->second->second->left->parameter, 5u);

    EXPECT_EQ(parameter_count(parse(u"SELECT * FROM T WHERE A = ?")), 1u);
    EXPECT_EQ(parameter_count(parse(u"SELECT * FROM T")), 0u);
}

TEST(SqlParse, ReferencedColumnsAreListedOnceInOrder) {
    auto r = parse(u"SELECT * FROM T WHERE B = A OR (A < 3 AND B IS NULL) OR ? = C");
    EXPECT_EQ(referenced_columns(*as_select(r).where), (std::vector<std::u16string>{u"B", u"A", u"C"}));
}

TEST(SqlParse, SelectsJoinOrderAndQualifyColumns) {
    auto s = parse(
        u"SELECT DISTINCT `Feature`.`Title`, Component.Directory_ FROM Feature, FeatureComponents, Component "
        u"WHERE Feature.Feature = FeatureComponents.Feature_ AND Component = Component_ ORDER BY Title, "
        u"Component.Attributes");
    const auto& select = as_select(s);
    EXPECT_TRUE(select.distinct);
    EXPECT_EQ(select.columns, (std::vector<std::u16string>{u"Feature.Title", u"Component.Directory_"}));
    EXPECT_EQ(select.tables, (std::vector<std::u16string>{u"Feature", u"FeatureComponents", u"Component"}));
    EXPECT_EQ(select.order_by, (std::vector<std::u16string>{u"Title", u"Component.Attributes"}));
    EXPECT_EQ(
        referenced_columns(*select.where),
        (std::vector<std::u16string>{u"Feature.Feature", u"FeatureComponents.Feature_", u"Component", u"Component_"}));
    // Words that matter at one place only stay names elsewhere.
    EXPECT_EQ(as_select(parse(u"SELECT Key, Order FROM Registry ORDER BY Key")).columns,
              (std::vector<std::u16string>{u"Key", u"Order"}));
}

TEST(SqlParse, ChangesOfRowsAndTables) {
    auto i = std::get<insert_statement>(parse(u"INSERT INTO Property (Property, Value) VALUES ('A', ?)"));
    EXPECT_EQ(i.table, u"Property");
    EXPECT_EQ(i.columns, (std::vector<std::u16string>{u"Property", u"Value"}));
    EXPECT_EQ(i.values[1]->type, expression::kind::parameter);
    EXPECT_FALSE(i.temporary);
    EXPECT_TRUE(std::get<insert_statement>(parse(u"INSERT INTO T (A) VALUES (-3) TEMPORARY")).temporary);
    EXPECT_EQ(parameter_count(parse(u"DELETE FROM T WHERE A = ? OR B = ?")), 2u);

    // The `_Columns` type of each declared type, as the installer records it.
    auto c = std::get<create_statement>(
        parse(u"CREATE TABLE T (K CHAR(72) NOT NULL, N INT NOT NULL, L LONG, S SHORT LOCALIZABLE, "
              u"C LONGCHAR, O OBJECT, X CHARACTER(255), Y INTEGER TEMPORARY PRIMARY KEY K, N) HOLD"));
    std::vector<std::uint16_t> types;
    for (const auto& column : c.columns) types.push_back(column.type);
    EXPECT_EQ(types, (std::vector<std::uint16_t>{0x2D48, 0x2502, 0x1104, 0x1702, 0x1D00, 0x1900, 0x1DFF, 0x5502}));
    EXPECT_TRUE(c.columns[7].temporary);
    EXPECT_TRUE(c.hold);

    auto a = std::get<alter_statement>(parse(u"ALTER TABLE T ADD Extra CHAR(10) LOCALIZABLE HOLD"));
    EXPECT_EQ(a.what, alter_statement::action::add);
    EXPECT_EQ(a.added.type, 0x1F0A);
    EXPECT_TRUE(a.hold);
    EXPECT_EQ(std::get<alter_statement>(parse(u"ALTER TABLE T FREE")).what, alter_statement::action::free);
    EXPECT_EQ(std::get<drop_statement>(parse(u"drop table `T`")).table, u"T");

    EXPECT_EQ(rejection(u"INSERT INTO T (A, B) VALUES (1)"),
              "SQL syntax error: INSERT names 2 column(s) but gives 1 value(s)");
    EXPECT_EQ(rejection(u"CREATE TABLE T (A CHAR(256) PRIMARY KEY A)"),
              "SQL syntax error: a string column is at most 255 characters wide");
    EXPECT_EQ(rejection(u"CREATE TABLE T (A INT PRIMARY KEY B)"),
              "SQL syntax error: the primary key 'B' is not a declared column");
    EXPECT_EQ(rejection(u"CREATE TABLE T (A INT, A LONG PRIMARY KEY A)"),
              "SQL syntax error: column 'A' is declared twice");
    EXPECT_EQ(rejection(u"CREATE TABLE T (A INT)"), "SQL syntax error near ')'");
    EXPECT_EQ(rejection(u"INSERT INTO T (A) VALUES (B)"), "SQL syntax error near 'B'");
    EXPECT_EQ(rejection(u"SELECT * FROM A JOIN B"), "JOIN is not supported");
    EXPECT_EQ(rejection(u"SELECT * FROM Property WHERE Value LIKE 'A%'"), "LIKE is not supported");
}

TEST(SqlParse, MalformedStatementsPointAtTheTrouble) {
    // A single quote inside a value ends the string early: the statement
    // that splices O'Brien into a literal must fail, never half-apply.
    EXPECT_EQ(rejection(u"UPDATE Property SET Value = 'it's' WHERE Property = 'P'"), "SQL syntax error near 's'");
    EXPECT_EQ(rejection(u"SELECT Value FROM Property WHERE Property = 'open"),
              "SQL syntax error: unterminated string starting at ''open'");
    EXPECT_EQ(rejection(u"SELECT `Value FROM Property"),
              "SQL syntax error: unterminated name starting at '`Value FROM Property'");
    EXPECT_EQ(rejection(u"SELECT `` FROM Property"), "SQL syntax error: empty name ``");
    EXPECT_EQ(rejection(u"SELECT Value FROM Property WHERE Property = 'A' garbage"), "SQL syntax error near 'garbage'");
    EXPECT_EQ(rejection(u"SELECT Value FROM Property;"), "SQL syntax error near ';'");
    EXPECT_EQ(rejection(u"SELECT Value FROM Property WHERE"), "SQL syntax error: unexpected end of statement");
    EXPECT_EQ(rejection(u"SELECT Value FROM Property WHERE (A = 1"), "SQL syntax error: unexpected end of statement");
    EXPECT_EQ(rejection(u"SELECT FROM Property"), "SQL syntax error near 'FROM'");
    EXPECT_EQ(rejection(u"SELECT * FROM T WHERE A == 1"), "SQL syntax error near '='");
    EXPECT_EQ(rejection(u"SELECT * FROM T WHERE A IS 'x'"), "SQL syntax error near ''x''");
    EXPECT_EQ(rejection(u"UPDATE T SET A = B"), "SQL syntax error near 'B'");
    EXPECT_EQ(rejection(u"SELECT * FROM T WHERE A = 12ab"), "SQL syntax error near '12ab'");
    EXPECT_EQ(rejection(u""), "SQL syntax error: empty statement");
}

TEST(SqlParse, IntegersOutside32BitsAreRejected) {
    EXPECT_EQ(rejection(u"SELECT * FROM T WHERE A = 2147483648"), "SQL integer out of range: '2147483648'");
    EXPECT_EQ(rejection(u"SELECT * FROM T WHERE A = -2147483649"), "SQL integer out of range: '-2147483649'");
    // Far beyond 64 bits as well: no wrap-around on the way.
    EXPECT_EQ(rejection(u"UPDATE T SET A = 99999999999999999999999"),
              "SQL integer out of range: '99999999999999999999999'");
}

TEST(SqlParse, ConditionsNestedTooDeepAreRefusedNotACrash) {
    const std::string too_deep = "SQL condition nested more than 200 levels deep";
    auto nested = [](std::size_t levels) {
        return u"SELECT * FROM T WHERE " + std::u16string(levels, u'(') + u"A = 1" + std::u16string(levels, u')');
    };
    auto chained = [](std::size_t joins, std::u16string_view join) {
        std::u16string sql = u"SELECT * FROM T WHERE A = 1";
        for (std::size_t i = 0; i < joins; ++i) (sql += join) += u"A = 1";
        return sql;
    };
    EXPECT_EQ(rejection(nested(100000)), too_deep);  // once a stack overflow
    EXPECT_EQ(rejection(chained(100000, u" AND ")), too_deep);
    EXPECT_EQ(rejection(chained(100000, u" OR ")), too_deep);
    EXPECT_NO_THROW(parse(nested(150)));
    EXPECT_NO_THROW(parse(chained(150, u" AND ")));
}

TEST(SqlParse, MessagesStayShortAndReadable) {
    const std::u16string long_word(500, u'x');
    const std::string message = rejection(u"SELECT * FROM T " + long_word);
    EXPECT_EQ(message, "SQL syntax error near '" + std::string(40, 'x') + "...'");
    // Non-ASCII text reaches the message as UTF-8; a lone surrogate does not break it.
    EXPECT_EQ(rejection(u"SELECT * FROM T Zoë"), "SQL syntax error near 'Zoë'");
    EXPECT_EQ(rejection(u"SELECT * FROM T 'a\xD800'"), "SQL syntax error near ''a\xEF\xBF\xBD''");
}

TEST(SqlParse, EveryPrefixAndMutationEitherParsesOrRaisesTheSyntaxError) {
    const std::u16string full =
        u"UPDATE `Registry` SET Value = '#8', Root = -2 WHERE (Name = ? OR Key <> 'A b') AND "
        u"Root IS NOT NULL OR Value >= 12";
    const std::u16string replacements(u"'`?()-=<>, x9\0", 14);  // NUL included
    auto survives = [](std::u16string_view sql) {
        try {
            parse(sql);
        } catch (const msi::automation_error& e) {
            EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX));
            EXPECT_NE(std::string(e.what()), "");
        }
    };
    for (std::size_t n = 0; n <= full.size(); ++n) survives(std::u16string_view(full).substr(0, n));
    for (std::size_t i = 0; i < full.size(); ++i)
        for (char16_t r : replacements) {
            std::u16string mutated = full;
            mutated[i] = r;
            survives(mutated);
        }
}
