#pragma once
// What a transform changes, read row by row: the tables it adds and drops,
// the columns it appends, and each row it adds, removes or updates with the
// cells it sets; with the package, the old values beside the new.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace msi {
class package_database;
class transform_reader;
}  // namespace msi

namespace msi_transform {

struct value {
    enum class kind { null, integer, text, binary } type = kind::null;
    std::int64_t integer = 0;
    std::string text;        // UTF-8
    std::uint64_t size = 0;  // binary
};

struct change {
    std::string column;
    value now;
    std::optional<value> before;  // with a package, when the row is there
};

struct row_change {
    std::string operation;  // "add", "remove", "update"
    std::vector<value> key;
    std::vector<change> cells;
    bool in_package = false;
};

struct table_changes {
    std::string name;
    bool added = false, dropped = false;
    std::vector<std::pair<std::string, std::string>> new_columns;  // name, notation
    std::string note;                                              // why the rows cannot be shown
    std::vector<row_change> rows;
};

// Raises msi::automation_error for records the transform cannot hold.
std::vector<table_changes> read_transform_changes(const msi::transform_reader& mst, msi::package_database* package);

// A value as show prints it: NULL, a number, "text" with the dump's escapes,
// [binary data, N bytes].
std::string plain_value(const value& v);
// The key values of a row, comma-separated, as plain_value prints them.
std::string key_words(const std::vector<value>& key);

}  // namespace msi_transform
