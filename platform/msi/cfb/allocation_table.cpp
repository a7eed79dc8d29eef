#include "msi/cfb/allocation_table.h"

#include "msi/cfb/format.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

namespace msi::cfb {

allocation_table::allocation_table(std::uint32_t entries_per_sector)
    : per_sector_(entries_per_sector), shift_(static_cast<unsigned>(std::countr_zero(entries_per_sector))) {}

allocation_table::allocation_table(std::uint32_t entries_per_sector, std::uint32_t sector_count, sector_loader load)
    : allocation_table(entries_per_sector) {
    sectors_.resize(sector_count);
    load_ = std::move(load);
}

std::uint32_t* allocation_table::load(std::uint32_t table_sector) const {
    auto entries = std::make_unique_for_overwrite<std::uint32_t[]>(per_sector_);
    load_(table_sector, entries.get());
    sectors_[table_sector] = std::move(entries);
    return sectors_[table_sector].get();
}

void allocation_table::grow() {
    auto entries = std::make_unique_for_overwrite<std::uint32_t[]>(per_sector_);
    std::fill_n(entries.get(), per_sector_, free_sector);
    changed_.insert(sector_count());
    sectors_.push_back(std::move(entries));
}

void allocation_table::set(std::uint32_t index, std::uint32_t value) {
    store(index, value);
    if (value == free_sector) {
        released_.push_back(index);
        std::push_heap(released_.begin(), released_.end(), std::greater<>());
    }
}

void allocation_table::store(std::uint32_t index, std::uint32_t value) {
    entries_of(index >> shift_)[index & (per_sector_ - 1)] = value;
    const std::uint32_t sector = index >> shift_;
    if (changed_.empty() || *changed_.rbegin() != sector) changed_.insert(sector);
}

void allocation_table::hold_free(std::uint32_t index) {
    store(index, free_sector);
    held_.insert(index);
}

void allocation_table::release_held() {
    for (std::uint32_t index : held_) {
        released_.push_back(index);
        std::push_heap(released_.begin(), released_.end(), std::greater<>());
    }
    held_.clear();
}

std::optional<std::uint32_t> allocation_table::find_free() {
    while (!released_.empty()) {
        if (at(released_.front()) == free_sector && !held_.count(released_.front())) return released_.front();
        std::pop_heap(released_.begin(), released_.end(), std::greater<>());
        released_.pop_back();
    }
    for (std::uint32_t k = scan_from_ >> shift_; k < sector_count(); ++k) {
        if (!is_loaded(k) && k < holds_free_.size() && !holds_free_[k]) continue;
        const std::uint32_t* entries = entries_of(k);
        const std::uint32_t from = k == (scan_from_ >> shift_) ? scan_from_ & (per_sector_ - 1) : 0;
        for (const std::uint32_t* hit = entries + from;
             (hit = std::find(hit, entries + per_sector_, free_sector)) != entries + per_sector_; ++hit) {
            const std::uint32_t index = (k << shift_) + static_cast<std::uint32_t>(hit - entries);
            if (held_.count(index)) continue;  // back in released_ once no longer held
            scan_from_ = index;
            return scan_from_;
        }
    }
    scan_from_ = size();
    return std::nullopt;
}

void allocation_table::release(std::uint32_t index) { set(index, free_sector); }

void allocation_table::serialize_sector(std::uint32_t sector, std::uint8_t* out) const {
    const std::uint32_t* entries = entries_of(sector);
    for (std::uint32_t i = 0; i < per_sector_; ++i) put32(out + 4 * i, entries[i]);
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
                current = at(current);
                ++steps;
            }
            if (steps > limit) fail_open(what + ": sector chain loops");
            fail_open(what + ": sector chain is longer than its size");
        }
        if (current >= limit) {
            if (current == free_sector) fail_open(what + ": sector chain reaches a free sector");
            if (current > max_regular_sector) fail_open(what + ": sector chain is broken");
            fail_open(what + " refers to sector " + std::to_string(current) + ", outside the file");
        }
        if (sectors.size() >= limit) fail_open(what + ": sector chain loops");
        sectors.push_back(current);
        current = at(current);
    }
    if (expected && sectors.size() < *expected) fail_open(what + ": sector chain is shorter than its size");
    return sectors;
}

std::uint32_t allocation_table::run_length(std::uint32_t index, std::uint32_t most) const {
    return chain_run_length([this](std::uint32_t k) { return entries_of(k); }, per_sector_, size(), index, most);
}

}  // namespace msi::cfb
