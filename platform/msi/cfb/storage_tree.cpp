#include "msi/cfb/storage_tree.h"

#include "msi/automation_error.h"
#include "msi/cfb/image.h"
#include "msi/cfb/printable_name.h"
#include "msi/cfb/sibling_tree.h"

#include <memory>
#include <set>

namespace msi::cfb {
namespace {

new_entry tree_of(const image& img, std::uint32_t id, int depth) {
    if (depth > max_storage_depth)
        fail_open("storages are nested more than " + std::to_string(max_storage_depth) + " deep");
    const directory_entry& e = img.entries()[id];
    new_entry out = entry_like(e);
    if (e.type == entry_type::stream) {
        auto data = std::make_shared<const std::vector<std::uint8_t>>(img.read_stream(id));
        out.size = data->size();
        out.content = [data] { return *data; };
    } else {
        std::set<std::u16string, name_less> names;
        for (std::uint32_t child : children_in_order(img.entries(), id)) {
            // Every reader finds one of two equal names only.
            if (!names.insert(img.entries()[child].name).second)
                fail_open("a storage holds two entries named '" + printable_name(img.entries()[child].name) + "'");
            out.children.push_back(tree_of(img, child, depth + 1));
        }
    }
    return out;
}

}  // namespace

new_entry entry_like(const directory_entry& e) {
    new_entry out;
    out.name = e.name;
    out.type = e.type;
    out.clsid = e.clsid;
    out.state = e.state_bits();
    out.created = e.created();
    out.modified = e.modified();
    return out;
}

new_entry read_storage_tree(const std::vector<std::uint8_t>& bytes, const std::u16string& name) {
    const std::unique_ptr<image> img = image::open(std::make_shared<const std::vector<std::uint8_t>>(bytes));
    new_entry root = tree_of(*img, 0, 0);
    root.name = name;
    root.type = entry_type::storage;
    return root;
}

}  // namespace msi::cfb
