#pragma once
// A cheap first look at a row before its WHERE condition is evaluated. When
// the condition's leftmost test is `string column = 'text'`, a row can only
// match if its cell holds exactly the bytes of that text, which is checked
// without turning the cell into text. Rows that fail that test are never
// evaluated further (AND stops at its first false operand), so skipping them
// changes no result and no error.
#include "msi/sql/parser.h"

#include <cstddef>
#include <string>
#include <vector>

namespace msi {

class package_database;
class string_pool;
class table;

class row_prefilter {
public:
    row_prefilter(const package_database& db, const table& t, const sql::condition* where,
                  const std::vector<sql::value>& params);

    // False only for rows the condition cannot match.
    bool admits(std::size_t row) const;

private:
    const table* table_ = nullptr;  // null: every row is admitted
    const string_pool* strings_ = nullptr;
    std::size_t column_ = 0;
    std::string bytes_;
};

}  // namespace msi
