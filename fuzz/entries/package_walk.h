#pragma once
// Reading and changing whole databases for the fuzz entries.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace msi {
class package_database;
}

namespace fuzz_entry {

// Every row of every table (user tables and the catalog) as one text line,
// sorted; a table the engine refuses to read gives one line that says so.
std::vector<std::string> dump_tables(msi::package_database& db);

// Reads every stream of the storage in full; returns how many could be read.
int read_every_stream(msi::package_database& db);

// Streams other than tables and the string pool (cabinets, summary
// information, binary cells) that can be read, by stored name, with their
// bytes: a commit must leave every one of them as it was.
inline constexpr char16_t table_stream_marker = 0x4840;
std::map<std::u16string, std::vector<std::uint8_t>> streams_outside_tables(msi::package_database& db);

// Changes row 0 of every table: each non-key string and integer cell, one
// long string (past 64 KiB) in the first string cell met, and adds a copy of
// row 0 under a new string key. Refused changes are skipped. Returns the
// number of changes made.
int change_every_table(msi::package_database& db);

// The first line where two dumps differ, as "before: ... / after: ...";
// empty when they are the same.
std::string first_difference(const std::vector<std::string>& a, const std::vector<std::string>& b);

}  // namespace fuzz_entry
