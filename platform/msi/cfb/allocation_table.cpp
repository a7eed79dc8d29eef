#include "msi/cfb/allocation_table.h"

#include "msi/cfb/format.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace msi::cfb {

void allocation_table::append_sector(const std::uint8_t* bytes) {
    std::size_t base = entries_.size();
    entries_.resize(base + per_sector_);
    // The table of a large file has millions of entries: on a little-endian
    // host the stored form is the in-memory form.
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(entries_.data() + base, bytes, std::size_t(per_sector_) * 4);
    else
        for (std::uint32_t i = 0; i < per_sector_; ++i) entries_[base + i] = get32(bytes + 4 * i);
}

void allocation_table::grow() {
    changed_.insert(sector_count());
    entries_.resize(entries_.size() + per_sector_, free_sector);
}

void allocation_table::set(std::uint32_t index, std::uint32_t value) {
    entries_[index] = value;
    changed_.insert(index / per_sector_);
    if (value == free_sector) released_.insert(index);
    else if (!released_.empty()) released_.erase(index);
}

std::optional<std::uint32_t> allocation_table::find_free() {
    if (!released_.empty()) return *released_.begin();
    auto it = std::find(entries_.begin() + std::min<std::size_t>(scan_from_, entries_.size()), entries_.end(), free_sector);
    scan_from_ = static_cast<std::uint32_t>(it - entries_.begin());
    if (it == entries_.end()) return std::nullopt;
    return scan_from_;
}

void allocation_table::release(std::uint32_t index) { set(index, free_sector); }

void allocation_table::serialize_sector(std::uint32_t sector, std::uint8_t* out) const {
    for (std::uint32_t i = 0; i < per_sector_; ++i)
        put32(out + 4 * i, entries_[std::size_t(sector) * per_sector_ + i]);
}

std::vector<std::uint32_t> allocation_table::chain(std::uint32_t start, std::uint32_t limit,
                                                   std::optional<std::uint64_t> expected,
                                                   const std::string& what) const {
    limit = std::min(limit, size());
    if (expected && *expected > limit) fail_open(what + " runs past the end of the file");
    std::vector<std::uint32_t> sectors;
    if (expected) sectors.reserve(static_cast<std::size_t>(*expected));
    std::uint32_t current = start;
    while (current != end_of_chain) {
        if (expected && sectors.size() == *expected) {
            // Longer than the size says: tell a loop from a plain overlong chain.
            std::uint64_t steps = sectors.size();
            while (current != end_of_chain && current < limit && steps <= limit) {
                current = entries_[current];
                ++steps;
            }
            if (steps > limit) fail_open(what + ": sector chain loops");
            fail_open(what + ": sector chain is longer than its size");
        }
        if (current >= limit) {
            if (current == free_sector) fail_open(what + ": sector chain reaches a free sector");
            if (current > max_regular_sector) fail_open(what + ": sector chain is broken");
            fail_open(what + " refers to sector " + std::to_string(current) +
                      ", outside the file");
        }
        if (sectors.size() >= limit) fail_open(what + ": sector chain loops");
        sectors.push_back(current);
        current = entries_[current];
    }
    if (expected && sectors.size() < *expected)
        fail_open(what + ": sector chain is shorter than its size");
    return sectors;
}

}  // namespace msi::cfb
