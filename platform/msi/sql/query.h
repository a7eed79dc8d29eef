#pragma once
// A prepared SQL statement bound to a database: the tables and columns it
// names are checked when it is prepared, and looked up again when it runs
// after a statement has created, dropped or altered a table;
// execute runs it with the parameters of a record; fetch hands out the
// selected rows in turn.
#include "msi/sql/parser.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace msi {

class package_database;
class stream_table_query;
class table;

class query {
public:
    // Raises automation_error with ERROR_BAD_QUERY_SYNTAX, as the installer
    // does, for text outside the SQL and for an unknown table or column,
    // with a message naming it; and for an UPDATE of a key, binary or
    // catalog column, which this engine does not change through SQL.
    query(std::shared_ptr<package_database> db, std::u16string_view sql);
    ~query();

    // How many ? markers the statement has; execute needs that many values.
    std::size_t parameter_count() const;
    // SELECT: selects the matching rows for fetch. Any other statement
    // makes its change, whole or not at all. `params` supplies the ? markers
    // in order.
    void execute(const std::vector<sql::value>& params);
    // The selected columns of the next selected row (field_count() values),
    // or null after the last one.
    const sql::value* fetch();
    std::size_t field_count() const;
    void close();

private:
    // A column of one of the statement's tables.
    struct bound_column {
        std::size_t table = 0;  // index into tables_
        std::size_t column = 0;
    };

    // Looks up the statement's tables and columns; raises for unknown ones.
    void bind();
    bound_column resolve(const std::u16string& name) const;
    // A column named in a condition, as bind() resolved it.
    const bound_column& named(const std::u16string& name) const;
    sql::value read_cell(const bound_column& c, std::size_t row) const;
    void run_select(const std::vector<sql::value>& params);
    void run_update(const std::vector<sql::value>& params);
    void run_insert(const std::vector<sql::value>& params);
    void run_delete(const std::vector<sql::value>& params);
    // Indices of the rows of tables_[0] that `where` matches.
    std::vector<std::size_t> matching_rows(const sql::condition* where, const std::vector<sql::value>& params) const;
    // A value checked against the column it is to be stored in.
    void check_storable(const sql::value& v, const bound_column& c) const;

    std::shared_ptr<package_database> db_;
    sql::statement statement_;
    std::vector<table*> tables_;
    // The columns named in conditions, resolved once per execution.
    std::vector<std::pair<std::u16string, bound_column>> named_;
    std::vector<bound_column> selected_;  // SELECT: the column of each record field
    std::vector<bound_column> order_;     // SELECT: ORDER BY columns
    std::vector<sql::value> results_;     // SELECT: the selected rows, field_count() values each
    std::size_t next_ = 0;                // index in results_ of the next row's first value
    bool executed_ = false;
    // Statements on `_Streams` and `_Storages`, which have no table.
    std::unique_ptr<stream_table_query> streams_;
    // Whether bind() succeeded last, and the database's schema generation then.
    bool bound_ = false;
    std::uint64_t bound_generation_ = 0;
};

}  // namespace msi
