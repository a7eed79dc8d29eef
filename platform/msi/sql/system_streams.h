#pragma once
// The tables of a package's own streams and storages, which no table stream
// holds: `_Streams` has a row (Name, Data) for every stream directly under
// the root that is not a table (binary cells' data, cabinets, summary
// information), `_Storages` a row for every sub-storage (embedded
// transforms, nested packages). SELECT reads both; INSERT, UPDATE and DELETE
// add, replace and remove streams and storages, their data bound from a
// record's stream field (for a storage, a whole compound file, which the
// storage takes). Changes are staged in the compound file until the
// database commits.
#include "msi/sql/parser.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace msi {

class package_database;

// The stream table a statement names, or null when it names none.
const std::u16string* stream_table_of(const sql::statement& s);

class stream_table_query {
public:
    // Raises ERROR_BAD_QUERY_SYNTAX for a column the table lacks and for
    // statements that would change the table's shape, and
    // ERROR_FUNCTION_FAILED for what this engine does not do with it (joins,
    // reading the data of a storage).
    stream_table_query(std::shared_ptr<package_database> db, const sql::statement& s);

    std::size_t field_count() const { return selected_.size(); }
    // SELECT: the selected rows, field_count() values each. Any other
    // statement makes its change, whole or not at all.
    std::vector<sql::value> execute(const std::vector<sql::value>& params) const;

private:
    enum class column { name, data };
    struct row {
        std::u16string name;    // as callers see it
        std::u16string stored;  // as the file stores it
    };
    column resolve(const std::u16string& name) const;
    std::vector<row> rows() const;
    sql::value read(const row& r, column c) const;
    // The rows that `where` matches.
    std::vector<row> matching(const sql::condition* where, const std::vector<sql::value>& params) const;
    void insert(const std::vector<sql::value>& params) const;
    void update(const std::vector<sql::value>& params) const;

    std::shared_ptr<package_database> db_;
    const sql::statement& statement_;
    std::u16string table_;
    bool storages_ = false;
    std::vector<column> selected_;  // SELECT: the column of each field
};

}  // namespace msi
