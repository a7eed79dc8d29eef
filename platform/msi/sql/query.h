#pragma once
// A prepared SQL statement bound to a database: the table and columns it
// names are checked when it is prepared; execute runs it with the parameters
// of a record; fetch hands out the selected rows in turn.
#include "msi/sql/parser.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace msi {

class package_database;
class table;

class query {
public:
    // Raises automation_error with ERROR_BAD_QUERY_SYNTAX, as the installer
    // does, for text outside the SQL subset and for an unknown table or
    // column, with a message naming it; and for an UPDATE of a key, binary or
    // catalog column, which this engine does not change through SQL.
    query(std::shared_ptr<package_database> db, std::u16string_view sql);
    ~query();

    // How many ? markers the statement has; execute needs that many values.
    std::size_t parameter_count() const;
    // SELECT: selects the matching rows for fetch. UPDATE: changes every
    // matching row. `params` supplies the ? markers in order.
    void execute(const std::vector<sql::value>& params);
    // The selected columns of the next selected row, or null after the last one.
    const std::vector<sql::value>* fetch();
    void close();

private:
    sql::value read_cell(std::size_t row, std::size_t column) const;
    void run_select(const std::vector<sql::value>& params);
    void run_update(const std::vector<sql::value>& params);

    std::shared_ptr<package_database> db_;
    sql::statement statement_;
    table* table_ = nullptr;
    std::vector<std::size_t> selected_columns_;  // SELECT: table column per record field
    std::vector<std::vector<sql::value>> results_;
    std::size_t next_ = 0;
    bool executed_ = false;
};

}  // namespace msi
