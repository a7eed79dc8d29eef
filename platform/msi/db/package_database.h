#pragma once
// An opened installer database: the compound file, its string pool, the
// catalog (`_Tables`, `_Columns`) and the tables, each read on first use.
// Changes stay in memory until commit, which writes only the changed table
// streams and the string pool.
#include "msi/cfb/compound_file.h"
#include "msi/db/string_pool.h"
#include "msi/db/table.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace msi {

// A cell as callers see it.
struct cell_value {
    enum class kind { null, integer, string, binary } type = kind::null;
    std::int32_t integer = 0;     // kind::integer
    std::uint32_t string_id = 0;  // kind::string: id in the database's string pool
};

class package_database {
public:
    // Opens a package. `read_only` databases refuse commit. Raises
    // automation_error (ERROR_OPEN_FAILED / ERROR_INSTALL_PACKAGE_INVALID) with
    // a message naming the file and what is wrong.
    static std::shared_ptr<package_database> open(const std::filesystem::path& path, bool read_only);
    // The same for a package's bytes in memory, shared with the caller and
    // never changed; messages name it "(package in memory)". Its changes
    // cannot be committed, but transforms can be generated from it.
    static std::shared_ptr<package_database> open(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                                                  bool read_only);

    // A new database without tables, held in memory, its strings stored in
    // `code_page`: filled through the calls below and written out with
    // save_to_memory (commit is refused: there is no file).
    static std::shared_ptr<package_database> create(int code_page = 0);

    const std::filesystem::path& path() const { return path_; }
    bool read_only() const { return read_only_; }
    int code_page() const { return strings_.code_page(); }

    // User tables as `_Tables` lists them, in stored order.
    std::vector<std::u16string> table_names() const;
    // True for user tables and for `_Tables` and `_Columns`.
    bool has_table(std::u16string_view name) const;
    // The table, read on first use. Raises automation_error
    // (ERROR_INVALID_TABLE) for a table the database lacks.
    table& get_table(std::u16string_view name);

    // Cell access with the pool resolved.
    cell_value cell(const table& t, std::size_t row, std::size_t column) const;
    // Stored bytes / UTF-16 text of a string cell ("" for NULL).
    std::string cell_bytes(const table& t, std::size_t row, std::size_t column) const;
    std::u16string cell_text(const table& t, std::size_t row, std::size_t column) const;
    // Logical (not encoded) name of the stream that holds a binary cell's data:
    // the table name and each key value joined by '.'.
    std::u16string binary_stream_name(const table& t, std::size_t row) const;
    // The stored name of a binary cell's stream, or nothing when the cell is
    // NULL or its stream is missing.
    std::optional<std::u16string> binary_stream(const table& t, std::size_t row, std::size_t column) const;
    // Gives a binary cell `data` as its row's stream, or makes it NULL (the
    // stream goes once no binary cell of the row holds data).
    void set_binary(table& t, std::size_t row, std::size_t column, const std::vector<std::uint8_t>* data);

    // Changes a cell to a null / integer / string value, keeping the pool's
    // counts. Raises automation_error for a value of the wrong kind, an
    // integer out of range, a NULL in a key or non-nullable column, or a key
    // change that would duplicate another row's key.
    void set_null(table& t, std::size_t row, std::size_t column);
    void set_integer(table& t, std::size_t row, std::size_t column, std::int32_t value);
    void set_string(table& t, std::size_t row, std::size_t column, std::u16string_view text);
    // Adds a row of values (null / integer / string; binary cells stay NULL)
    // and returns its index; a temporary one is never committed.
    std::size_t insert_row(table& t, const std::vector<cell_value>& values, const std::vector<std::u16string>& texts,
                           bool temporary = false);

    // Removes the rows flagged in `gone` (one flag a row), releasing their
    // strings and removing the streams of their binary cells.
    void delete_rows(table& t, const std::vector<bool>& gone);

    // Adds an empty table with its `_Tables` and `_Columns` rows. Raises
    // automation_error for a name in use or a table without a key column.
    void create_table(const std::u16string& name, const std::vector<column>& columns);
    // Removes a table, its catalog rows, its cells' strings and its binary
    // cells' streams; the table's own stream goes at commit.
    void drop_table(const std::u16string& name);
    // Appends a column that is not a key to a table; every row holds NULL in it.
    void add_column(const std::u16string& name, const column& added);
    // Grows whenever a table is created, dropped, altered or replaced:
    // prepared statements look their tables up again only then.
    std::uint64_t schema_generation() const { return schema_generation_; }

    string_pool& strings() { return strings_; }
    const string_pool& strings() const { return strings_; }
    compound_file& storage() { return *file_; }
    const compound_file& storage() const { return *file_; }

    // Bytes of the `\005SummaryInformation` stream, empty when there is none.
    std::vector<std::uint8_t> summary_information() const;

    bool has_changes() const;
    // Writes the changed tables and the string pool, then commits the
    // compound file. Raises automation_error for a read-only database.
    void commit();
    // The bytes of a package holding the database as it is now, changes
    // included, made in memory; the opened file is not written.
    std::vector<std::uint8_t> save_to_memory();
    // Commits wait for the disk unless this is off (see compound_file).
    void set_durable_commits(bool durable) { file_->set_durable_commits(durable); }

    // What applying a transform replaces at once: copies of the string pool,
    // the catalog and the tables it changes, made and changed elsewhere, the
    // tables it drops and the streams it writes (data) or removes (nothing),
    // by stored name.
    struct replacement {
        string_pool strings;
        std::unique_ptr<table> tables_catalog, columns_catalog;
        std::map<std::u16string, std::unique_ptr<table>, std::less<>> tables;
        std::vector<std::u16string> dropped;
        std::map<std::u16string, std::optional<std::vector<std::uint8_t>>> streams;
        bool counts_exact = false;  // the copies' string counts are exact
    };
    // Puts the copies in the place of the database's own; held like any
    // other change until commit.
    void replace(replacement changes);
    // True once every string's count equals the cells that refer to it.
    bool counts_exact() const { return counts_exact_; }
    // By string id, how many cells of every table refer to it, tables not
    // read yet counted in their streams; with `stored_only`, cells of
    // temporary rows and columns are left out. Changes nothing.
    std::vector<std::uint32_t> count_references(bool stored_only = false);

private:
    package_database(std::filesystem::path path, bool read_only, std::unique_ptr<compound_file> file);
    void load_catalog();
    // A table's columns as `_Columns` declares them.
    std::vector<column> columns_of(const std::u16string& name) const;
    table& load_table(const std::u16string& name);
    void check_string_id(std::uint32_t id, const table& t) const;
    // Gives every string the number of cells that refer to it and drops
    // those no cell uses.
    void make_counts_exact();
    // Before a commit that changes strings: the strings whose counts fell to
    // zero get the number of cells that really refer to them, and those no
    // cell uses are dropped. A few are searched for in the tables; many make
    // every count exact. Other counts stay as stored, right or not, as
    // Windows Installer keeps them.
    void settle_unreferenced_strings();
    // How many cells refer to each of `ids` (a few, ascending).
    std::vector<std::uint32_t> count_references_to(const std::vector<std::uint32_t>& ids);
    // Calls on_cell(id) for every string cell of the tables in memory, and
    // on_stored(bytes, width) for runs of whole stored references, `width`
    // bytes each, of the tables not read yet (read a window at a time).
    template <typename OnCell, typename OnStored>
    void visit_string_cells(bool stored_only, OnCell&& on_cell, OnStored&& on_stored);
    // One cell fewer refers to a string. Stored counts are not always right
    // (some tools write fewer than there are cells), and a count that is too
    // low must not free a string other cells still use: until the counts
    // are known to be exact, one that reaches zero waits for
    // settle_unreferenced_strings().
    void release(std::uint32_t id);
    // A reference to the pool's string for `text`, added when new.
    std::uint32_t reference(std::u16string_view text);
    void release_row_strings(const table& t, std::size_t row);
    // The stored name of the stream of a row with a binary cell that is not NULL.
    std::optional<std::u16string> row_stream(const table& t, std::size_t row) const;
    void remove_streams(const std::vector<std::u16string>& stored_names);
    // Stages the stream of each table that changed, or whose string
    // references change width, in the file.
    void stage_tables(const std::vector<table*>& tables, int width, bool width_changed);
    // Stages every changed table in the file, and every table when the
    // string references change width, which it returns.
    bool stage_changed_tables();
    // Stages the pool's streams encoded afresh with the strings and counts of
    // stored cells only (temporary ones left out), references `width` bytes.
    void stage_stored_strings(int width);
    // True when a table in memory holds temporary rows or columns.
    bool holds_temporary_data() const;

    static std::shared_ptr<package_database> load(std::filesystem::path path, bool read_only,
                                                  std::unique_ptr<compound_file> file);

    std::filesystem::path path_;
    bool read_only_;
    std::unique_ptr<compound_file> file_;
    string_pool strings_;
    std::unique_ptr<table> tables_catalog_;   // `_Tables`
    std::unique_ptr<table> columns_catalog_;  // `_Columns`
    std::map<std::u16string, std::unique_ptr<table>, std::less<>> loaded_;
    // Streams of tables dropped since the last commit, by stored name.
    std::vector<std::u16string> dropped_streams_;
    bool counts_exact_ = false;
    std::uint64_t schema_generation_ = 0;
    // The pool's data generation that the file holds (0: the one loaded).
    std::uint64_t stored_data_generation_ = 0;
};

}  // namespace msi
