#pragma once
// Evaluation of parsed WHERE conditions and SET values against one row.
#include "msi/sql/parser.h"

#include <functional>
#include <string>
#include <vector>

namespace msi::sql {

using column_reader = std::function<value(const std::u16string& column)>;

// params[0] is parameter 1; a parameter beyond params raises E_INVALIDARG.
// A null where matches every row. Strings compare with strings by UTF-16 code
// unit, with null and '' the same value (the database stores '' as null);
// integers compare with integers; null sorts below every value and equals
// no integer. A string
// compared with an integer raises ERROR_BAD_QUERY_SYNTAX; binary data
// satisfies no comparison.
bool matches(const condition* where, const column_reader& row, const std::vector<value>& params);
value evaluate(const expression& e, const column_reader& row, const std::vector<value>& params);

}  // namespace msi::sql
