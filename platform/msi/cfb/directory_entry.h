#pragma once
// One 128-byte directory entry. The raw bytes are kept so that fields this
// code does not interpret (state bits, times) survive a rewrite unchanged.
#include "msi/cfb/format.h"
#include "msi/cfb/compound_file.h"

#include <array>
#include <cstdint>
#include <string>

namespace msi::cfb {

struct directory_entry {
    std::array<std::uint8_t, entry_size> raw{};

    std::u16string name;
    entry_type type = entry_type::unused;
    std::uint8_t color = 1;  // 0 red, 1 black
    std::uint32_t left = no_entry;
    std::uint32_t right = no_entry;
    std::uint32_t child = no_entry;
    class_id clsid{};
    std::uint32_t start = end_of_chain;
    std::uint64_t size = 0;  // as stored; version 3 readers use the low 32 bits

    // Raises ERROR_OPEN_FAILED for an entry whose name or type is malformed.
    static directory_entry parse(const std::uint8_t* bytes, std::uint32_t id);
    static directory_entry unused();
    static directory_entry make(const std::u16string& name, entry_type type);

    std::uint32_t state_bits() const { return get32(&raw[0x60]); }
    std::uint64_t created() const { return get64(&raw[0x64]); }
    std::uint64_t modified() const { return get64(&raw[0x6C]); }
    void set_times(std::uint32_t state, std::uint64_t created, std::uint64_t modified);

    // Writes the fields back into `raw`.
    void store();
};

}  // namespace msi::cfb
