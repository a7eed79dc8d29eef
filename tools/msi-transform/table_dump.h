#pragma once
// Tables as sorted, tab-separated text: a header line "#Table\tcol:type..."
// (types in the installer's column notation), then one line per row, rows
// sorted bytewise; UTF-8 with \\ \t \n \r \xHH escapes; NULL as an empty
// field; binary cells as "[stream size=N crc32=XXXXXXXX]".
#include <cstdint>
#include <string>
#include <vector>

namespace msi {
class package_database;
struct column;
}  // namespace msi

namespace msi_transform {

// The named tables in the given order, or every user table sorted by name
// when none is named. Raises msi::automation_error for a table the database lacks.
std::string dump_tables(msi::package_database& db, const std::vector<std::u16string>& tables);

// The installer's notation for a column: a letter for the kind (upper case
// when nullable) and the size, "s72", "L0", "I2"...
std::string column_notation(const msi::column& c);

// A stream's data as the dump shows it: "[stream size=N crc32=XXXXXXXX]".
std::string stream_digest(const std::vector<std::uint8_t>& data);

// The escapes of the dump, for text already in UTF-8.
std::string escape_field(const std::string& utf8);

}  // namespace msi_transform
