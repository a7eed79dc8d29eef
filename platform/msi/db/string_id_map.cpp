#include "msi/db/string_id_map.h"

#include "msi/db/string_pool.h"

namespace msi {

string_id_map::string_id_map(const string_pool& from, const string_pool& to)
    : from_(from), to_(to), mapped_(from.id_limit(), unknown) {}

std::uint32_t string_id_map::operator()(std::uint32_t id) {
    if (id == 0) return 0;
    if (id >= mapped_.size() || !from_.contains(id)) return absent;
    std::uint32_t& m = mapped_[id];
    if (m != unknown) return m;
    const auto& bytes = from_.bytes(id);
    // The same id holding the same bytes is the usual case and needs no index.
    if (to_.contains(id) && to_.bytes(id) == bytes) return m = id;
    auto found = to_.find_bytes(bytes);
    return m = found ? *found : absent;
}

}  // namespace msi
