#pragma once
// Packages and independent views of compound files for the compound-file tests.
#include "support/fixture_package.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace cfb_test {

using bytes = std::vector<std::uint8_t>;

bytes to_bytes(const std::string& s);
std::string to_string(const bytes& b);
// Deterministic filler that does not repeat within a sector.
std::string pseudo_random(std::size_t size, std::uint32_t seed);

struct package_options {
    bool long_value = true;   // a 5000-character property: the string data needs regular sectors
    bool big_stream = false;  // an 8 MB stream: more than 109 FAT sectors, so DIFAT sectors
};
// A package built by msibuild with a Property table (Marker=OldValue1,
// ProductName=Hello, ...) and a stream "small.bin" of 300 bytes.
std::filesystem::path build_package(const std::filesystem::path& dir, package_options options = {});
// The same package made in memory by the engine and written to a file, for
// tests whose point is not another writer's layout.
std::filesystem::path write_package(const std::filesystem::path& dir, package_options options = {});
inline constexpr std::size_t big_stream_size = 8'000'000;
std::string big_stream_content();

// olefile's reading of a file: root streams by stored name, the mini stream's
// size and the sectors its chain holds, and a listing of every entry
// ("<hex path> <type> <size> <clsid>" lines).
struct ole_view {
    unsigned sector_size = 0;
    std::uint64_t mini_stream_size = 0;
    std::size_t mini_stream_sectors = 0;
    std::string listing;
    std::map<std::u16string, std::string> streams;
};
ole_view ole_read(const std::filesystem::path& file);
// Rewrites a file with 4096-byte sectors using olefile and the test's own script.
void convert_to_version4(const std::filesystem::path& in, const std::filesystem::path& out);

std::u16string table_stream(const char* table);
std::u16string plain_stream(const char* name);

// Raw file edits for damaged files.
void poke32(const std::filesystem::path& file, std::uint64_t offset, std::uint32_t value);
std::string file_bytes(const std::filesystem::path& file);

// The oracle's rows of one table, without the header line.
std::string oracle_rows(const std::filesystem::path& package, const std::string& table);

}  // namespace cfb_test
