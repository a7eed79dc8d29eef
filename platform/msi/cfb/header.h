#pragma once
// The 512-byte header at the start of every compound file.
#include "msi/cfb/format.h"

#include <array>
#include <cstdint>

namespace msi::cfb {

struct header {
    std::array<std::uint8_t, header_size> raw{};  // as read; fields are stored back by store()

    std::uint16_t major_version = 3;
    std::uint32_t sector_size = 512;
    std::uint32_t mini_cutoff = standard_mini_cutoff;
    std::uint32_t fat_count = 0;
    std::uint32_t first_directory = end_of_chain;
    std::uint32_t directory_count = 0;  // only meaningful in version 4
    std::uint32_t first_minifat = end_of_chain;
    std::uint32_t minifat_count = 0;
    std::uint32_t first_difat = end_of_chain;
    std::uint32_t difat_count = 0;
    std::array<std::uint32_t, header_difat_slots> difat{};

    // Validates the fixed fields (signature, byte order, sector sizes) and
    // takes the rest as they are; counts are checked by the reader.
    static header parse(const std::uint8_t* bytes);
    // A version 3 header with 512-byte sectors and no tables yet.
    static header fresh();

    // Writes the fields back into `raw`, leaving every other byte as read.
    void store();
};

}  // namespace msi::cfb
