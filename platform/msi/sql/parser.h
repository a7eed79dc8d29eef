#pragma once
// The installer's SQL subset: SELECT of a column list or * from one table,
// and UPDATE of one table, each with an optional WHERE condition built from
// comparisons, IS [NOT] NULL, AND, OR and parentheses. Keywords are
// case-insensitive, identifiers may be back-quoted, strings are single-quoted,
// integers are 32-bit signed, and ? marks a parameter bound at execution.
//
// Anything outside the subset raises automation_error with
// hresult_from_win32(ERROR_BAD_QUERY_SYNTAX) and a message naming the part
// that was not understood.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace msi::sql {

struct value {
    enum class kind { null, integer, string } type = kind::null;
    std::int32_t integer = 0;
    std::u16string text;
};

// A column reference, a literal, or a ? parameter.
struct expression {
    enum class kind { column, literal, parameter } type = kind::literal;
    std::u16string column;      // kind::column
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
    std::vector<std::u16string> columns;  // empty means *
    std::u16string table;
    std::unique_ptr<condition> where;  // null: every row
};

struct update_statement {
    std::u16string table;
    std::vector<assignment> assignments;
    std::unique_ptr<condition> where;
};

using statement = std::variant<select_statement, update_statement>;

statement parse(std::u16string_view sql);

// Columns named anywhere in the condition, each once, in order of first appearance.
std::vector<std::u16string> referenced_columns(const condition& where);

// Number of ? markers: parameters are numbered 1.. in order of appearance
// (the SET list first, then the WHERE condition).
std::size_t parameter_count(const statement& s);

}  // namespace msi::sql
