#pragma once
// The installer's SQL: SELECT [DISTINCT] over one or more tables with WHERE
// and ORDER BY; INSERT, UPDATE and DELETE of rows; CREATE, ALTER and DROP of
// tables. Conditions are comparisons, IS [NOT] NULL, AND, OR and
// parentheses. Keywords are case-insensitive, identifiers may be
// back-quoted and qualified by their table (`Table.Column`), strings are
// single-quoted, integers are 32-bit signed, and ? marks a parameter bound
// at execution.
//
// Text the language does not read raises automation_error with
// hresult_from_win32(ERROR_BAD_QUERY_SYNTAX) and a message naming the part
// that was not understood.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace msi {
class stream_data;
}

namespace msi::sql {

struct value {
    enum class kind { null, integer, string, stream } type = kind::null;
    std::int32_t integer = 0;
    std::u16string text;
    std::shared_ptr<const stream_data> stream;  // kind::stream: a parameter's or a binary cell's data
};

// A column reference, a literal, or a ? parameter.
struct expression {
    enum class kind { column, literal, parameter } type = kind::literal;
    std::u16string column;      // kind::column: the name as written, `Table.Column` when qualified
    value literal;              // kind::literal ('' and NULL are both a null value)
    std::size_t parameter = 0;  // kind::parameter: 1-based position among the statement's ?s
};

enum class comparison { equal, not_equal, less, greater, less_equal, greater_equal };

struct condition {
    enum class kind { compare, is_null, is_not_null, both, either } type = kind::compare;
    comparison op = comparison::equal;         // kind::compare
    std::unique_ptr<expression> left, right;   // compare: both; is_null / is_not_null: left
    std::unique_ptr<condition> first, second;  // both (AND) / either (OR)
    std::size_t depth = 1;                     // levels of conditions from here down
};

// Conditions nest (by parentheses, AND and OR) at most this deep; deeper ones
// raise ERROR_BAD_QUERY_SYNTAX, so that neither parsing nor evaluation can
// run out of stack.
inline constexpr std::size_t max_condition_depth = 200;

struct assignment {
    std::u16string column;
    std::unique_ptr<expression> value;
};

struct select_statement {
    bool distinct = false;
    std::vector<std::u16string> columns;  // empty means *
    std::vector<std::u16string> tables;   // one or more, joined
    std::unique_ptr<condition> where;     // null: every row
    std::vector<std::u16string> order_by;
};

struct update_statement {
    std::u16string table;
    std::vector<assignment> assignments;
    std::unique_ptr<condition> where;
};

struct insert_statement {
    std::u16string table;
    std::vector<std::u16string> columns;
    std::vector<std::unique_ptr<expression>> values;  // literals and parameters, one per column
    bool temporary = false;
};

struct delete_statement {
    std::u16string table;
    std::unique_ptr<condition> where;
};

// A column as CREATE TABLE and ALTER TABLE ADD declare it, with its `Type`
// word of `_Columns` worked out (key bit set for the primary key columns).
struct column_definition {
    std::u16string name;
    std::uint16_t type = 0;
    bool temporary = false;
};

struct create_statement {
    std::u16string table;
    std::vector<column_definition> columns;  // key columns flagged in their type
    bool hold = false;
};

struct alter_statement {
    std::u16string table;
    enum class action { add, hold, free } what = action::add;
    column_definition added;  // action::add
    bool hold = false;        // action::add with HOLD
};

struct drop_statement {
    std::u16string table;
};

using statement = std::variant<select_statement, update_statement, insert_statement, delete_statement, create_statement,
                               alter_statement, drop_statement>;

statement parse(std::u16string_view sql);

// Columns named anywhere in the condition, each once, in order of first appearance.
std::vector<std::u16string> referenced_columns(const condition& where);

// Number of ? markers: parameters are numbered 1.. in order of appearance.
std::size_t parameter_count(const statement& s);

}  // namespace msi::sql
