#pragma once
// A transform file opened for reading: its own string pool and code page,
// the tables it has records for, the records of one table read against the
// columns that table has once the transform's schema changes are made, the
// data of binary cells and the summary information. Every size and id read
// from the file is checked against the file before it is used.
#include "msi/cfb/compound_file.h"
#include "msi/db/string_pool.h"
#include "msi/db/summary_information.h"
#include "msi/db/table.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace msi {

// One record of a table stream. Cells are the stored values: string ids of
// the transform's pool, integers in their stored form, binary flags.
struct transform_record {
    enum class kind { remove, add, update } type = kind::add;
    std::uint16_t mask = 0;
    std::vector<bool> present;         // per column: stored in the record
    std::vector<std::uint32_t> cells;  // per column; 0 where not present
};

class transform_reader {
public:
    // Raises automation_error for a file that is not a readable transform:
    // ERROR_OPEN_FAILED from the compound file, ERROR_INSTALL_TRANSFORM_FAILURE
    // for a wrong class id or a damaged string pool.
    explicit transform_reader(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    const string_pool& strings() const { return strings_; }
    int code_page() const { return strings_.code_page(); }

    // Logical names of the tables with a record stream, `_Tables` and
    // `_Columns` included, in stored order; never the string pool.
    const std::vector<std::u16string>& tables() const { return tables_; }
    bool has_records(std::u16string_view table) const;
    std::uint64_t records_size(std::u16string_view table) const;

    // Reads the records of a table one by one against its columns.
    class cursor {
    public:
        // False at the end. Raises automation_error (ERROR_INSTALL_TRANSFORM_FAILURE)
        // for a record that runs past its stream, a mask naming a column the
        // table lacks, an addition of no columns or more columns than the
        // table has, and a string id outside the transform's pool.
        bool next(transform_record& record);
        std::size_t offset() const { return at_; }

    private:
        friend class transform_reader;
        cursor(const transform_reader& reader, std::u16string table, std::vector<column> columns,
               std::vector<std::uint8_t> data);
        [[noreturn]] void damaged(const std::string& what) const;

        const transform_reader& reader_;
        std::u16string table_;
        std::vector<column> columns_;
        std::vector<std::uint8_t> data_;
        std::size_t at_ = 0;
    };
    cursor records(std::u16string_view table, const std::vector<column>& columns) const;

    // Text of a string id of the transform's pool ("" for 0).
    std::u16string text(std::uint32_t id) const;
    // Data of a binary cell, by the logical name of its stream; nothing when
    // the transform lacks it.
    std::optional<std::vector<std::uint8_t>> binary_data(const std::u16string& logical_name) const;

    // The summary information; empty when the transform has none.
    summary_information summary() const;

private:
    // A stream's content; a damaged chain raises with the transform's name.
    std::vector<std::uint8_t> read(const std::u16string& stored_name) const;

    std::filesystem::path path_;
    std::unique_ptr<compound_file> file_;
    string_pool strings_;
    std::vector<std::u16string> tables_;
};

// Raises automation_error (ERROR_INSTALL_TRANSFORM_FAILURE) with the message
// prefixed by the transform's file name.
[[noreturn]] void transform_damaged(const std::filesystem::path& path, const std::string& what);

}  // namespace msi
