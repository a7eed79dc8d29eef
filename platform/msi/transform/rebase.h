#pragma once
// Carrying a transform to another release of its package: the changes a
// transform makes to the database it was made for, replayed onto the next
// one. Each change (a cell, a row added or removed, a table added or
// dropped, a column appended, the code page) is judged against the new
// database: carried as it was, carried over the new database's own change of
// the same cell, dropped because what it changes is gone, or carried over a
// row the new database added with the same key. The result is the transform
// that turns the new database into the new database plus every carried
// change, made by the comparison of the two, as `generate` makes one.
#include "msi/db/summary_information.h"
#include "msi/transform/streams.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace msi {

// A cell's value as the report shows it: text of strings, data of binary cells.
struct rebase_value {
    enum class kind { null, integer, string, binary } type = kind::null;
    std::int32_t integer = 0;
    std::u16string text;
    std::vector<std::uint8_t> data;
    bool operator==(const rebase_value&) const = default;
};

struct rebase_cell {
    std::u16string column;
    std::optional<rebase_value> old_value;  // in the old database, where the change is to a cell it had
    std::optional<rebase_value> new_value;  // in the new database, where it has the cell
    rebase_value transform_value;           // what the transform sets
};

struct rebase_item {
    enum class change { code_page, add_table, drop_table, add_column, add_row, remove_row, change_cells };
    enum class outcome {
        carried,
        carried_over_change,  // the new database changed the same cells; the transform's values kept
        dropped,              // what it changes is gone from the new database
        conflicting_add       // the new database has a row with that key; the transform's values kept
    };
    change what = change::change_cells;
    outcome result = outcome::carried;
    std::u16string table;
    std::vector<std::u16string> key;  // rows: the key values as text
    std::u16string column;            // add_column
    std::vector<rebase_cell> cells;   // change_cells; the cells that differ for conflicting_add
    std::size_t rows = 0;             // add_table: the rows it comes with
    int old_code_page = 0, new_code_page = 0, transform_code_page = 0;  // code_page
    std::string reason;                                                 // dropped: why
};

struct rebase_result {
    std::vector<rebase_item> items;
    // What turns the new database into it plus the carried changes, with
    // its summary information; nothing when no change is left to carry.
    std::optional<transform_content> content;
    summary_information summary;
};

// Raises automation_error for a database or transform that cannot be read,
// a transform that does not apply to the old database, and a carried change
// the new database does not take. Writes nothing.
rebase_result rebase_transform(const std::filesystem::path& old_package, const std::filesystem::path& transform,
                               const std::filesystem::path& new_package);

}  // namespace msi
