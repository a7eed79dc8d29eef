#pragma once
// What the engine tells about packages and transforms beyond the automation
// facade, for tools that inspect them: tables as sorted text, a transform's
// summary in words and its changes row by row, the deployment recipe, and a
// transform carried to the next release of its package. Only this header,
// automation.h and automation_error.h are the engine's public face; the
// types here are the engine's answers, copied out of its internals.
#include "msi/automation.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace msi {
class transform_reader;
}

namespace msi::inspect {

// ---- Tables as text

// Tables as sorted, tab-separated text: a header line "#Table\tcol:type..."
// (types in the installer's column notation), then one line per row, rows
// sorted bytewise; UTF-8 with \\ \t \n \r \xHH escapes; NULL as an empty
// field; binary cells as "[stream size=N crc32=XXXXXXXX]". The named tables
// in the given order, or every user table sorted by name when none is named.
// Raises automation_error for a table the database lacks.
std::string dump_tables(Database& db, const std::vector<std::u16string>& tables);

// A stream's data as the dump shows it: "[stream size=N crc32=XXXXXXXX]".
std::string stream_digest(const std::vector<std::uint8_t>& data);

// The escapes of the dump, for text already in UTF-8.
std::string escape_field(const std::string& utf8);

// ---- A transform: its summary and its changes

// The summary information in words (UTF-8); "" where a property is missing.
struct transform_summary {
    std::string unreadable;  // why the summary information could not be read, or ""
    std::string title, subject, creating_application;
    int code_page = 0;  // of the transform's strings; 0 is neutral
    std::string base_platform, base_language, new_platform, new_language;
    std::string base_product_code, base_version, new_product_code, new_version;
    std::string upgrade_code;
    bool has_flags = false;  // the character count was there
    int error_conditions = 0, validation = 0;
    // "MSITRANSFORM_VALIDATE_LANGUAGE", "MSITRANSFORM_ERROR_ADDEXISTINGROW"...
    std::vector<std::string> validation_names, condition_names;
};

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

// A transform file opened for reading; the file is never written.
class transform_file {
public:
    // Raises automation_error for a file that is not a transform.
    explicit transform_file(const std::filesystem::path& path);
    ~transform_file();
    transform_file(const transform_file&) = delete;
    transform_file& operator=(const transform_file&) = delete;

    // A damaged summary does not stop the rows being read: it is reported
    // in `unreadable`.
    const transform_summary& summary() const { return summary_; }
    // The tables it adds and drops, the columns it appends, and each row it
    // adds, removes or updates with the cells it sets; with the package, the
    // old values beside the new. Raises automation_error for records the
    // transform cannot hold.
    std::vector<table_changes> changes(Database* package) const;

private:
    std::unique_ptr<const transform_reader> reader_;
    transform_summary summary_;
};

// A value as show prints it: NULL, a number, "text" with the dump's escapes,
// [binary data, N bytes].
std::string plain_value(const value& v);
// The key values of a row, comma-separated, as plain_value prints them.
std::string key_words(const std::vector<value>& key);

// ---- Deploying a package with a transform

struct deployment_recipe {
    std::string command_line;  // msiexec /i "PACKAGE" TRANSFORMS="T" /qn
    // UTF-8, after the transform; "" when the Property table lacks one.
    std::string product_code, upgrade_code, product_version, product_name;
    // The public properties the transform adds or changes, by name.
    std::map<std::string, std::string> public_properties;
    // The recipe as lines of text, for people and for scripts that cut fields.
    std::string text;
};

// Applies the transform to the package in memory (never committed) with the
// conditions it suppresses itself; the files are named in the command line
// as the caller gave them. Raises automation_error when it does not apply.
deployment_recipe make_deployment_recipe(Database& package, const std::filesystem::path& transform,
                                         std::string_view package_as_given, std::string_view transform_as_given);

// ---- A transform carried to the next release of its package

// A cell's value as the report shows it: text of strings, data of binary cells.
struct rebase_value {
    enum class kind { null, integer, string, binary } type = kind::null;
    std::int32_t integer = 0;
    std::u16string text;
    std::size_t binary_size = 0;
};

struct rebase_cell {
    std::u16string column;
    std::optional<rebase_value> old_value;  // in the old package, where the change is to a cell it had
    std::optional<rebase_value> new_value;  // in the new package, where it has the cell
    rebase_value transform_value;           // what the transform sets
};

struct rebase_item {
    enum class change { code_page, add_table, drop_table, add_column, add_row, remove_row, change_cells };
    enum class outcome {
        carried,
        carried_over_change,  // the new package changed the same cells; the transform's values kept
        dropped,              // what it changes is gone from the new package
        conflicting_add       // the new package has a row with that key; the transform's values kept
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

struct rebase_report {
    std::vector<rebase_item> items;
    bool written = false;  // false when no change was left to carry
};

// Carries the changes `transform` makes to `old_package` onto `new_package`
// and writes the result, a transform made for the new package, to `out` in
// one step, unless nothing is left to carry. Raises automation_error for a
// package or transform that cannot be read, a transform that does not apply
// to the old package, and a carried change the new package does not take;
// then nothing is written.
rebase_report rebase_transform(const std::filesystem::path& old_package, const std::filesystem::path& transform,
                               const std::filesystem::path& new_package, const std::filesystem::path& out);

}  // namespace msi::inspect
