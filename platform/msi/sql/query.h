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
#include <unordered_map>
#include <utility>
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

    // View.Modify's modes, numbered as the installer numbers them.
    enum class modify_mode {
        seek = -1,
        refresh = 0,
        insert = 1,
        update = 2,
        assign = 3,
        replace = 4,
        merge = 5,
        remove = 6,
        insert_temporary = 7
    };
    // Changes the table of a one-table SELECT through a record of the
    // view's fields (`fields`, field_count() values or more). `current` says
    // the record is the one fetch or seek gave last: refresh, update,
    // replace and delete work on that record's row only. Seek and refresh
    // fill `fields` from the row; a seek makes the record current.
    void modify(modify_mode mode, std::vector<sql::value>& fields, bool current);

private:
    // A column of one of the statement's tables.
    struct bound_column {
        std::size_t table = 0;  // index into tables_
        std::size_t column = 0;
    };

    // Looks up the statement's tables and columns; raises for unknown ones.
    void bind();
    void bind_select(const sql::select_statement& select);
    void bind_update(const sql::update_statement& update);
    void bind_insert(const sql::insert_statement& insert);
    // Adds a table to tables_; raises for an unknown table or one named twice.
    void use_table(const std::u16string& name);
    // Resolves the columns a condition names into named_.
    void use_where(const sql::condition* where);
    bound_column resolve(const std::u16string& name) const;
    // A column named in a condition, as bind() resolved it.
    const bound_column& named(const std::u16string& name) const;
    sql::value read_cell(const bound_column& c, std::size_t row) const;
    void run_select(const std::vector<sql::value>& params);
    // SELECT's parts. The tables a condition reads, one bit a table.
    std::uint64_t tables_read(const sql::condition* c) const;
    // Rows of tables_[t] that the parts reading that table alone admit.
    std::vector<std::size_t> own_rows(const std::vector<const sql::condition*>& parts, std::size_t t,
                                      const std::vector<sql::value>& params) const;
    // The rows of a join that `where` matches, one row index per table each.
    std::vector<std::size_t> joined_rows(const sql::condition* where, const std::vector<sql::value>& params) const;
    // A part `A.x = B.y` that joins tables_[t] to one joined before it, as
    // (column of t, column joined before); nulls when there is none.
    std::pair<const bound_column*, const bound_column*> join_columns(const std::vector<const sql::condition*>& parts,
                                                                     std::size_t t) const;
    // The partial rows of `joined` (t indices each) extended by tables_[t]'s candidate rows.
    std::vector<std::size_t> join_next(const std::vector<std::size_t>& joined, std::size_t t,
                                       const std::vector<const sql::condition*>& parts,
                                       const std::vector<std::size_t>& candidates) const;
    // Each string id of column `c` in `joined` with the rank of its text among them.
    std::unordered_map<std::uint32_t, std::int64_t> string_ranks(const bound_column& c,
                                                                 const std::vector<std::size_t>& joined) const;
    // The order of the joined rows that ORDER BY asks for.
    std::vector<std::size_t> sorted_order(const std::vector<std::size_t>& joined) const;
    void collect_results(const std::vector<std::size_t>& joined, const std::vector<std::size_t>& order, bool distinct);
    void run_update(const std::vector<sql::value>& params);
    void run_insert(const std::vector<sql::value>& params);
    void run_delete(const std::vector<sql::value>& params);
    // Indices of the rows of tables_[0] that `where` matches.
    std::vector<std::size_t> matching_rows(const sql::condition* where, const std::vector<sql::value>& params) const;
    // A value checked against the column it is to be stored in.
    void check_storable(const sql::value& v, const bound_column& c) const;
    // Inserts a row of tables_[0] given one value per column, checked; a
    // temporary one is never committed.
    void insert_values(std::vector<sql::value> row, bool temporary = false);
    // Modify's parts (modify.cpp).
    std::vector<sql::value> key_of_fields(const std::vector<sql::value>& fields, const char* mode) const;
    std::size_t find_row(const std::vector<sql::value>& key) const;
    std::size_t current_row() const;
    void read_fields(std::size_t row, std::vector<sql::value>& fields) const;
    // Row `row` with the view's fields put in place of its values.
    std::vector<sql::value> merged_row(std::size_t row, const std::vector<sql::value>& fields) const;
    void update_fields(std::size_t row, const std::vector<sql::value>& fields);
    // insert_values, with a value its column cannot hold raised as invalid data.
    void insert_record(const std::vector<sql::value>& row, bool temporary = false);
    // Raises when `mode` cannot change this view with this record.
    void check_modifiable(modify_mode mode, const std::vector<sql::value>& fields, bool current);
    void replace_current(const std::vector<sql::value>& fields);
    void merge_record(const std::vector<sql::value>& fields);

    std::shared_ptr<package_database> db_;
    sql::statement statement_;
    std::vector<table*> tables_;
    // The columns named in conditions, resolved once per execution.
    std::vector<std::pair<std::u16string, bound_column>> named_;
    std::vector<bound_column> selected_;  // SELECT: the column of each record field
    std::vector<bound_column> order_;     // SELECT: ORDER BY columns
    // SELECT of one table: its key columns that are not selected, kept with
    // each selected row so that Modify finds the row a record came from.
    std::vector<bound_column> carried_;
    // SELECT: the selected rows, field_count() values and the carried keys each.
    std::vector<sql::value> results_;
    std::size_t next_ = 0;  // index in results_ of the next row's first value
    // The key values (in column order) of the row that fetch or seek gave
    // last; empty when there is none.
    std::vector<sql::value> current_key_;
    bool executed_ = false;
    // Statements on `_Streams` and `_Storages`, which have no table.
    std::unique_ptr<stream_table_query> streams_;
    // Whether bind() succeeded last, and the database's schema generation then.
    bool bound_ = false;
    std::uint64_t bound_generation_ = 0;
};

}  // namespace msi
