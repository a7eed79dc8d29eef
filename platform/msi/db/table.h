#pragma once
// One database table in memory: its columns as `_Columns` declares them and
// its rows as the stored cell values (string ids, offset-encoded integers,
// binary flags), kept sorted by the key columns' stored values as the
// installer requires. Tables are read from and written to column-major
// streams. Cells sit in one flat array (four bytes each), so a table costs at
// most twice the size of its stream.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace msi {

// Bits of the `Type` word of `_Columns`.
inline constexpr std::uint16_t column_type_size = 0x00FF;
inline constexpr std::uint16_t column_type_valid = 0x0100;
inline constexpr std::uint16_t column_type_localizable = 0x0200;
inline constexpr std::uint16_t column_type_string = 0x0800;
inline constexpr std::uint16_t column_type_nullable = 0x1000;
inline constexpr std::uint16_t column_type_key = 0x2000;
inline constexpr std::uint16_t column_type_temporary = 0x4000;

// Stored NULL of every column kind.
inline constexpr std::uint32_t null_cell = 0;

struct column {
    enum class kind { int16, int32, string, binary };

    std::u16string name;
    std::uint16_t type = 0;  // the `Type` word as the installer uses it (no disk offset)

    kind cell_kind() const;
    bool is_key() const { return (type & column_type_key) != 0; }
    // A temporary column lives in memory only: never stored, never in a transform.
    bool is_temporary() const { return (type & column_type_temporary) != 0; }
    bool is_nullable() const { return (type & column_type_nullable) != 0; }
    // Bytes per cell in a table stream.
    int width(int string_reference_width) const;
};

// Stored forms of integers: i2 as value + 0x8000, i4 as value XOR 0x80000000,
// with 0 as NULL in both.
std::uint32_t encode_int16(std::int32_t value);
std::uint32_t encode_int32(std::int32_t value);
std::int32_t decode_int16(std::uint32_t stored);
std::int32_t decode_int32(std::uint32_t stored);

class table {
public:
    using row = std::vector<std::uint32_t>;  // one stored value per column, for insert and key checks

    table(std::u16string name, std::vector<column> columns);

    const std::u16string& name() const { return name_; }
    const std::vector<column>& columns() const { return columns_; }
    // Index of the named column, or -1.
    int column_index(std::u16string_view name) const;
    std::size_t key_count() const;

    std::size_t row_count() const { return row_count_; }
    std::uint32_t cell(std::size_t row, std::size_t column) const { return cells_[row * columns_.size() + column]; }
    row get_row(std::size_t index) const;

    // Changes one stored value; the caller keeps the string pool's counts.
    // A change of a key column re-sorts the rows.
    void set_cell(std::size_t row, std::size_t column, std::uint32_t stored);
    // Inserts a row at its sorted place; returns its index. Raises
    // automation_error when a row with the same key values exists. A
    // temporary row is seen like any other but never written to the stream;
    // only a table with a primary key holds them.
    std::size_t insert(row values, bool temporary = false);
    bool is_temporary(std::size_t row) const;
    bool has_temporary_rows() const { return !temporary_keys_.empty(); }
    bool has_temporary_columns() const;
    // The table as it is stored: without its temporary rows and columns (no
    // columns at all for a table whose every column is temporary).
    table stored_part() const;
    // Removes a row; the caller keeps the string pool's counts.
    void erase(std::size_t row);
    // Removes the rows flagged in `gone` (one flag a row) in one pass.
    void erase_rows(const std::vector<bool>& gone);
    // Adds rows whose keys no row has, nor each other: a few each at its
    // place, many appended and the table sorted once.
    void add_rows(std::vector<row> rows);
    // True when another row has the same key values as `values`, ignoring `except`.
    bool has_key(const row& values, std::size_t except = static_cast<std::size_t>(-1)) const;
    // The first row whose key values are those of `values` (a whole row, of
    // which only the key cells count), or npos.
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t find(const row& values) const;
    // Restores the order by stored key values.
    void sort_rows();
    // Appends a column that is not a key; every row holds NULL in it.
    void add_column(column added);

    // Reads a column-major table stream. Raises automation_error
    // (ERROR_INSTALL_PACKAGE_INVALID) when its size is not a whole number of rows.
    void read_stream(const std::vector<std::uint8_t>& data, int string_reference_width);
    std::vector<std::uint8_t> write_stream(int string_reference_width) const;
    // Raises automation_error (ERROR_INSTALL_PACKAGE_INVALID) unless a stream
    // of `size` bytes is a whole number of `row_width`-byte rows: checked
    // before a stream is read, so that a damaged size costs no allocation.
    static void check_whole_rows(std::u16string_view table_name, std::uint64_t size, std::size_t row_width);
    // Bytes of one row in a table stream.
    std::size_t row_width(int string_reference_width) const;

    bool dirty() const { return dirty_; }
    void set_dirty(bool dirty) { dirty_ = dirty; }

private:
    // Orders stored key values; `a` and `b` point at one row's cells each.
    bool key_less(const std::uint32_t* a, const std::uint32_t* b) const;
    // First row whose key is not less than `values`' key.
    std::size_t lower_bound(const std::uint32_t* values) const;
    // The key cells of a row, in key column order.
    row key_of(const std::uint32_t* values) const;
    // Forgets that the rows flagged in `gone` were temporary.
    void forget_temporary(const std::vector<bool>& gone);

    std::u16string name_;
    std::vector<column> columns_;
    std::vector<std::size_t> key_columns_;
    std::vector<std::uint32_t> cells_;  // row-major: row r starts at r * columns_.size()
    std::size_t row_count_ = 0;
    std::set<row> temporary_keys_;  // the keys of the temporary rows
    bool dirty_ = false;
};

}  // namespace msi
