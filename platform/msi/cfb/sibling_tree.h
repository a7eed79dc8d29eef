#pragma once
// The sibling trees that hold each storage's children: checking them when a
// file is read, and laying one out when names are added or removed.
#include "msi/cfb/directory_entry.h"

#include <cstdint>
#include <vector>

namespace msi::cfb {

struct directory_walk {
    std::vector<std::uint32_t> root_children;  // ids directly under the root entry
    std::vector<bool> reachable;               // entries in use by some storage
};

// Walks every storage's tree from the root entry. Ids outside the directory,
// cycles, entries shared by two parents and unused entries in a tree raise
// ERROR_OPEN_FAILED.
directory_walk walk_directory(const std::vector<directory_entry>& entries);

// Children of one storage in tree order (in-order traversal), for a directory
// that walk_directory accepted.
std::vector<std::uint32_t> children_in_order(const std::vector<directory_entry>& entries, std::uint32_t storage);

// Arranges `sorted` (ids in name order) as a balanced binary search tree and
// returns its root id (no_entry when empty). Nodes on the deepest level are
// red when the tree has more than one level, all others black, so the result
// is a valid red-black tree.
std::uint32_t build_sibling_tree(std::vector<directory_entry>& entries, const std::vector<std::uint32_t>& sorted);

}  // namespace msi::cfb
