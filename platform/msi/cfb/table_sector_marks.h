#pragma once
// Which sectors of a file hold its FAT and its DIFAT. A large file has
// thousands of FAT sectors, found one at a time as its DIFAT is read: they
// are a bit a sector; the DIFAT sectors, a few, a sorted list.
#include "msi/cfb/format.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace msi::cfb {

class table_sector_marks {
public:
    // Room for marks on sectors below `count` without growing.
    void reserve(std::uint32_t count) { fat_.reserve(count / 64 + 1); }
    // `mark` is fat_sector_mark or difat_sector_mark; false when `s` holds
    // either already.
    bool add(std::uint32_t s, std::uint32_t mark);
    void erase(std::uint32_t s);
    std::optional<std::uint32_t> find(std::uint32_t s) const;

    // Calls `f(s, mark)` for each marked sector from `first` on, below
    // `first + count`.
    template <typename F>
    void for_each_in(std::uint32_t first, std::uint32_t count, F&& f) const {
        const std::uint64_t end = std::uint64_t(first) + count;
        for (auto d = std::lower_bound(difat_.begin(), difat_.end(), first); d != difat_.end() && *d < end; ++d)
            f(*d, difat_sector_mark);
        for (std::uint64_t s = first, stop = std::min<std::uint64_t>(end, std::uint64_t(fat_.size()) * 64); s < stop;) {
            const std::uint64_t word = fat_[s / 64] >> (s % 64);
            if (word == 0) {
                s += 64 - s % 64;
                continue;
            }
            s += static_cast<std::uint64_t>(__builtin_ctzll(word));
            if (s >= stop) break;
            f(static_cast<std::uint32_t>(s), fat_sector_mark);
            ++s;
        }
    }

private:
    bool is_fat(std::uint32_t s) const { return s / 64 < fat_.size() && (fat_[s / 64] >> (s % 64) & 1) != 0; }
    std::vector<std::uint64_t> fat_;
    std::vector<std::uint32_t> difat_;  // ascending
};

}  // namespace msi::cfb
