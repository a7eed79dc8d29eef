#include "msi/cfb/sibling_tree.h"

#include <string>

namespace msi::cfb {
namespace {

void check_id(std::uint32_t id, std::size_t count) {
    if (id >= count) fail_open("directory refers to entry " + std::to_string(id) + ", which does not exist");
}

}  // namespace

directory_walk walk_directory(const std::vector<directory_entry>& entries) {
    if (entries.empty() || entries[0].type != entry_type::root) fail_open("compound file has no root entry");
    directory_walk walk;
    walk.reachable.assign(entries.size(), false);
    walk.reachable[0] = true;
    std::vector<std::uint32_t> storages{0};
    std::vector<std::uint32_t> pending;
    while (!storages.empty()) {
        std::uint32_t storage = storages.back();
        storages.pop_back();
        if (entries[storage].child != no_entry) pending.push_back(entries[storage].child);
        while (!pending.empty()) {
            std::uint32_t id = pending.back();
            pending.pop_back();
            check_id(id, entries.size());
            if (walk.reachable[id]) fail_open("directory tree has a cycle");
            const directory_entry& e = entries[id];
            if (e.type != entry_type::stream && e.type != entry_type::storage)
                fail_open("directory tree refers to entry " + std::to_string(id) +
                          ", which is not a stream or storage");
            walk.reachable[id] = true;
            if (storage == 0) walk.root_children.push_back(id);
            if (e.type == entry_type::storage) storages.push_back(id);
            if (e.left != no_entry) pending.push_back(e.left);
            if (e.right != no_entry) pending.push_back(e.right);
        }
    }
    return walk;
}

std::vector<std::uint32_t> children_in_order(const std::vector<directory_entry>& entries, std::uint32_t storage) {
    std::vector<std::uint32_t> out;
    std::vector<std::uint32_t> path;
    std::uint32_t current = entries[storage].child;
    while (current != no_entry || !path.empty()) {
        while (current != no_entry) {
            path.push_back(current);
            current = entries[current].left;
        }
        current = path.back();
        path.pop_back();
        out.push_back(current);
        current = entries[current].right;
    }
    return out;
}

namespace {

struct tree_builder {
    std::vector<directory_entry>& entries;
    const std::vector<std::uint32_t>& sorted;
    std::vector<unsigned> depth;
    unsigned deepest = 0;

    std::uint32_t build(std::size_t first, std::size_t last, unsigned level) {
        if (first >= last) return no_entry;
        std::size_t middle = first + (last - first) / 2;
        directory_entry& node = entries[sorted[middle]];
        node.left = build(first, middle, level + 1);
        node.right = build(middle + 1, last, level + 1);
        depth[middle] = level;
        deepest = std::max(deepest, level);
        return sorted[middle];
    }
};

}  // namespace

std::uint32_t build_sibling_tree(std::vector<directory_entry>& entries, const std::vector<std::uint32_t>& sorted) {
    tree_builder builder{entries, sorted, std::vector<unsigned>(sorted.size()), 0};
    // Subtree sizes differ by at most one at every node, so all empty links
    // lie on the last two levels and colouring the deepest level red keeps
    // every path's black count equal.
    std::uint32_t root = builder.build(0, sorted.size(), 0);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        directory_entry& node = entries[sorted[i]];
        node.color = (builder.deepest > 0 && builder.depth[i] == builder.deepest) ? 0 : 1;
        node.store();
    }
    return root;
}

}  // namespace msi::cfb
