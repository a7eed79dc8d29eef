#pragma once
// The content of a transform before it is stored: for each table the
// columns of its final schema and one operation per changed row; and the
// serializer that turns it into the transform's streams (its own string
// pool, one row-major record stream per changed table, one stream per
// binary cell).
#include "msi/db/table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace msi {

struct transform_cell {
    enum class kind { null, integer, string, binary } type = kind::null;
    std::int32_t integer = 0;  // integer
    std::string bytes;         // string: bytes in the transform's code page; binary: the cell's data
    std::u16string stream;     // binary: logical name of its stream (table and key values joined by '.')
};

struct transform_operation {
    enum class kind { remove, add, update } type = kind::add;
    // One cell per column of the table. remove: only the key cells count;
    // update: the whole new row, of which the key cells and the cells of
    // `changed` are stored.
    std::vector<transform_cell> cells;
    std::vector<bool> changed;  // update: per column
};

struct transform_table {
    std::u16string name;
    std::vector<column> columns;  // final schema, keys first
    std::vector<transform_operation> operations;
};

struct transform_content {
    int code_page = 0;  // of the transform's string pool
    // `_Tables` and `_Columns` appear here like any other table, with the
    // columns of catalog_tables_columns() / catalog_columns_columns().
    std::vector<transform_table> tables;
};

std::vector<column> catalog_tables_columns();
std::vector<column> catalog_columns_columns();

struct transform_stream {
    std::u16string name;  // stored (encoded) name
    std::vector<std::uint8_t> data;
};

// The record mask of an update: bit i for column i. Updates that touch a
// column past the sixteenth cannot be expressed in the 16-bit mask and are
// stored as a removal followed by a full addition.
inline constexpr std::size_t max_update_columns = 16;

// Serializes the content. Tables without operations get no stream. Within a
// table, records are ordered by their stored key values (string ids of the
// transform's pool, integers in their stored form), as in a table stream;
// records with equal keys keep their given order. Raises automation_error
// for content that cannot be stored (a binary cell stream name too long).
std::vector<transform_stream> serialize_transform(const transform_content& content);

}  // namespace msi
