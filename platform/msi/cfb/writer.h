#pragma once
// Writes a whole new compound file (version 3, 512-byte sectors) from a tree
// of storages and streams.
#include "msi/cfb/compound_file.h"
#include "msi/cfb/format.h"
#include "system/file_handle.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace msi::cfb {

struct new_entry {
    std::u16string name;
    entry_type type = entry_type::stream;
    class_id clsid{};
    std::uint32_t state = 0;
    std::uint64_t created = 0;
    std::uint64_t modified = 0;
    std::uint64_t size = 0;  // streams: what `content` returns
    std::function<std::vector<std::uint8_t>()> content;
    std::vector<new_entry> children;  // storages and the root
};

// Writes the whole file into `file`, an empty one, from its start. Stream
// contents are fetched one at a time while writing. Raises
// ERROR_FUNCTION_FAILED.
void write_compound_file(sys::file_handle& file, const new_entry& root);
// The same file's bytes, made in memory.
std::vector<std::uint8_t> write_compound_file(const new_entry& root);

}  // namespace msi::cfb
