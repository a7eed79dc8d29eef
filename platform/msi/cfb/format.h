#pragma once
// Constants and little-endian field access shared by the compound-file code.
#include "msi/automation_error.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace msi::cfb {

inline constexpr std::uint32_t free_sector = 0xFFFFFFFF;
inline constexpr std::uint32_t end_of_chain = 0xFFFFFFFE;
inline constexpr std::uint32_t fat_sector_mark = 0xFFFFFFFD;
inline constexpr std::uint32_t difat_sector_mark = 0xFFFFFFFC;
inline constexpr std::uint32_t max_regular_sector = 0xFFFFFFFA;
inline constexpr std::uint32_t no_entry = 0xFFFFFFFF;

inline constexpr std::size_t header_size = 512;
inline constexpr std::size_t header_difat_slots = 109;
inline constexpr std::size_t entry_size = 128;
inline constexpr std::size_t mini_sector_size = 64;
inline constexpr std::uint32_t standard_mini_cutoff = 4096;
inline constexpr std::size_t max_name_units = 31;

enum class entry_type : std::uint8_t { unused = 0, storage = 1, stream = 2, root = 5 };

inline std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline std::uint64_t get64(const std::uint8_t* p) {
    return std::uint64_t(get32(p)) | (std::uint64_t(get32(p + 4)) << 32);
}
inline void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put64(std::uint8_t* p, std::uint64_t v) {
    put32(p, static_cast<std::uint32_t>(v));
    put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// A file that cannot be read as a compound file.
[[noreturn]] inline void fail_open(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_OPEN_FAILED), message);
}
// A write that could not be carried out.
[[noreturn]] inline void fail_write(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), message);
}

}  // namespace msi::cfb
