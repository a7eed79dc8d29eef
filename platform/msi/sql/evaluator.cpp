// Evaluation of WHERE conditions and SET values against one row.
//
// Comparison follows the installer's own engine: the database stores an
// empty string as null, so in a string comparison null and '' are the same
// value (`Col = ''` finds the rows whose Col is empty). Null sorts below
// every value and equals no integer. A string compared with an integer is a
// type error. Binary data satisfies no comparison.
#include "msi/sql/evaluator.h"

#include "msi/automation_error.h"
#include "msi/sql/tokenizer.h"

#include <string>

namespace msi::sql {

namespace {

bool is_null(const value& v) {
    return v.type == value::kind::null || (v.type == value::kind::string && v.text.empty());
}

template <typename T>
bool holds(comparison op, const T& a, const T& b) {
    switch (op) {
    case comparison::equal: return a == b;
    case comparison::not_equal: return a != b;
    case comparison::less: return a < b;
    case comparison::greater: return a > b;
    case comparison::less_equal: return a <= b;
    case comparison::greater_equal: return a >= b;
    }
    return false;
}

bool compare(comparison op, const value& a, const value& b) {
    if (a.type == value::kind::stream || b.type == value::kind::stream) return false;
    const bool a_int = a.type == value::kind::integer, b_int = b.type == value::kind::integer;
    if (a_int && b_int) return holds(op, a.integer, b.integer);
    if (a_int || b_int) {
        if (!is_null(a) && !is_null(b)) syntax_error("SQL type mismatch: a string compared with an integer");
        return holds(op, is_null(a) ? -1 : 1, 0);  // null sorts below every number
    }
    const std::u16string_view left = is_null(a) ? u"" : std::u16string_view(a.text);
    const std::u16string_view right = is_null(b) ? u"" : std::u16string_view(b.text);
    return holds(op, left, right);
}

}  // namespace

value evaluate(const expression& e, const column_reader& row, const std::vector<value>& params) {
    switch (e.type) {
    case expression::kind::column: return row(e.column);
    case expression::kind::literal: return e.literal;
    case expression::kind::parameter:
        if (e.parameter == 0 || e.parameter > params.size())
            throw automation_error(E_INVALIDARG, "SQL parameter " + std::to_string(e.parameter) + " has no value");
        return params[e.parameter - 1];
    }
    return {};
}

bool matches(const condition* where, const column_reader& row, const std::vector<value>& params) {
    if (!where) return true;
    switch (where->type) {
    case condition::kind::compare:
        return compare(where->op, evaluate(*where->left, row, params), evaluate(*where->right, row, params));
    case condition::kind::is_null: return is_null(evaluate(*where->left, row, params));
    case condition::kind::is_not_null: return !is_null(evaluate(*where->left, row, params));
    case condition::kind::both:
        return matches(where->first.get(), row, params) && matches(where->second.get(), row, params);
    case condition::kind::either:
        return matches(where->first.get(), row, params) || matches(where->second.get(), row, params);
    }
    return false;
}

}  // namespace msi::sql
