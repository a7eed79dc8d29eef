// Which rows a parsed condition selects, and what SET values become.
#include "msi/automation_error.h"
#include "msi/sql/evaluator.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace msi::sql;

namespace {

value text(std::u16string s) { return {value::kind::string, 0, std::move(s)}; }
value number(std::int32_t n) { return {value::kind::integer, n, {}}; }
value null() { return {}; }

using row = std::map<std::u16string, value>;

// Reads a row's columns; naming a column the row lacks is a test failure,
// so a condition that looks at the wrong column cannot pass by accident.
column_reader reader(const row& r) {
    return [&r](const std::u16string& column) {
        auto it = r.find(column);
        if (it == r.end()) {
            ADD_FAILURE() << "no column " << std::string(column.begin(), column.end());
            return value{};
        }
        return it->second;
    };
}

// The indexes of the rows that the WHERE clause of sql selects.
std::vector<int> selected(std::u16string_view sql, const std::vector<row>& rows,
                          const std::vector<value>& params = {}) {
    const auto s = parse(sql);
    const condition* where = std::holds_alternative<select_statement>(s) ? std::get<select_statement>(s).where.get()
                                                                         : std::get<update_statement>(s).where.get();
    std::vector<int> out;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (matches(where, reader(rows[i]), params)) out.push_back(static_cast<int>(i));
    return out;
}

using indexes = std::vector<int>;

}  // namespace

TEST(SqlEvaluate, PropertyAndRegistryLookups) {
    const std::vector<row> property = {{{u"Property", text(u"ProductName")}, {u"Value", text(u"Pro")}},
                                       {{u"Property", text(u"IMANAGEENABLED")}, {u"Value", text(u"0")}},
                                       {{u"Property", text(u"imanageenabled")}, {u"Value", text(u"1")}}};
    // Values compare exactly: case matters, unlike keywords.
    EXPECT_EQ(selected(u"SELECT Value FROM Property WHERE Property = 'IMANAGEENABLED'", property), indexes{1});
    EXPECT_EQ(selected(u"SELECT Value FROM Property WHERE Property = 'Missing'", property), indexes{});
    EXPECT_EQ(selected(u"SELECT * FROM Property", property), (indexes{0, 1, 2}));

    // Two Registry rows with one Name: both are selected for the update.
    const std::vector<row> registry = {{{u"Name", text(u"PrintBandSize")}, {u"Root", number(2)}},
                                       {{u"Name", text(u"Other")}, {u"Root", number(1)}},
                                       {{u"Name", text(u"PrintBandSize")}, {u"Root", number(-1)}}};
    EXPECT_EQ(selected(u"UPDATE Registry SET Value = '#8' WHERE Name = 'PrintBandSize'", registry), (indexes{0, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM Registry WHERE Root >= 1", registry), (indexes{0, 1}));
    EXPECT_EQ(selected(u"SELECT * FROM Registry WHERE Root < 0 OR Root > 1", registry), (indexes{0, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM Registry WHERE Root <= -1", registry), indexes{2});
}

TEST(SqlEvaluate, PrecedenceDecidesWhichRowsMatch) {
    // A=1 alone, B=2 with C=9, and B=2 with C=3: only the grouping tells them apart.
    const std::vector<row> rows = {{{u"A", number(1)}, {u"B", number(0)}, {u"C", number(0)}},
                                   {{u"A", number(0)}, {u"B", number(2)}, {u"C", number(9)}},
                                   {{u"A", number(0)}, {u"B", number(2)}, {u"C", number(3)}}};
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE A = 1 OR B = 2 AND C = 3", rows), (indexes{0, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE (A = 1 OR B = 2) AND C = 3", rows), indexes{2});
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE ((B = 2)) AND (C = 9 OR C = 3)", rows), (indexes{1, 2}));
}

TEST(SqlEvaluate, NullsAndEmptyStrings) {
    const std::vector<row> rows = {{{u"S", null()}, {u"N", null()}},
                                   {{u"S", text(u"x")}, {u"N", number(0)}},
                                   {{u"S", text(u"")}, {u"N", number(5)}}};
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S IS NULL", rows), (indexes{0, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S IS NOT NULL", rows), indexes{1});
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE N IS NULL", rows), indexes{0});
    // The database keeps '' as null, so '' finds the empty cells and only them.
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S = ''", rows), (indexes{0, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S <> ''", rows), indexes{1});
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S <> 'x'", rows), (indexes{0, 2}));
    // A null integer equals no number, 0 included, and sorts below all of them
    // (msitools' msibuild -q selects the same rows).
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE N = 0", rows), indexes{1});
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE N <> 0", rows), (indexes{0, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE N < 100", rows), (indexes{0, 1, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE N >= -2147483648", rows), (indexes{1, 2}));
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE -5 > N", rows), indexes{0});
    // A null parameter value behaves the same way.
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S = ?", rows, {null()}), (indexes{0, 2}));
}

TEST(SqlEvaluate, StringsOrderByCodeUnitAndNeverMixWithIntegers) {
    const std::vector<row> rows = {{{u"S", text(u"apple")}}, {{u"S", text(u"Banana")}}, {{u"S", text(u"b")}}};
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S < 'b'", rows), (indexes{0, 1}));
    EXPECT_EQ(selected(u"SELECT * FROM T WHERE S >= 'b'", rows), indexes{2});

    // '5' is not 5: comparing a string cell with a number is an error, not a silent miss.
    const std::vector<row> text_five = {{{u"S", text(u"5")}}};
    try {
        selected(u"SELECT * FROM T WHERE S = 5", text_five);
        ADD_FAILURE() << "string compared with integer";
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX));
        EXPECT_STREQ(e.what(), "SQL type mismatch: a string compared with an integer");
    }
}

TEST(SqlEvaluate, ParametersCarryValuesThatLiteralsCannot) {
    // A value with a single quote reaches the table intact through a parameter.
    const auto s = parse(u"UPDATE Property SET Value = ? WHERE Property = ?");
    const auto& u = std::get<update_statement>(s);
    const std::vector<value> params = {text(u"C:\\Users\\O'Brien\\iManage\\Work10"), text(u"IMANAGEPATH")};
    const row target = {{u"Property", text(u"IMANAGEPATH")}};
    const row other = {{u"Property", text(u"ProductName")}};
    EXPECT_TRUE(matches(u.where.get(), reader(target), params));
    EXPECT_FALSE(matches(u.where.get(), reader(other), params));
    EXPECT_EQ(evaluate(*u.assignments[0].value, reader(target), params).text, u"C:\\Users\\O'Brien\\iManage\\Work10");

    // Fewer values than markers is the caller's error, reported as such.
    try {
        matches(u.where.get(), reader(target), {text(u"only one")});
        ADD_FAILURE() << "missing parameter accepted";
    } catch (const msi::automation_error& e) {
        EXPECT_EQ(e.code(), msi::E_INVALIDARG);
        EXPECT_STREQ(e.what(), "SQL parameter 2 has no value");
    }

    // No condition: every row.
    EXPECT_TRUE(matches(nullptr, reader(other), {}));
}
