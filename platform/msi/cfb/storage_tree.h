#pragma once
// A whole compound file held in memory, read as the tree of a sub-storage:
// the storage takes its root's class id, state bits, times and children.
#include "msi/cfb/directory_entry.h"
#include "msi/cfb/writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace msi::cfb {

// An entry of a file to be written with the name, type, class id, state
// bits and times of a stored one (no content or children yet).
new_entry entry_like(const directory_entry& e);

// Storages nested deeper than this are refused: walking them would take
// stack in proportion to the depth.
inline constexpr int max_storage_depth = 64;

// The file's tree under `name`, every stream read. Raises automation_error
// (ERROR_OPEN_FAILED) saying what is wrong with bytes that are no compound file.
new_entry read_storage_tree(const std::vector<std::uint8_t>& bytes, const std::u16string& name);

}  // namespace msi::cfb
