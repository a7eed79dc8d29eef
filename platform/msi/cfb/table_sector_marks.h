#pragma once
// Which sectors of a file hold its FAT and its DIFAT: a bit a sector for
// each. A large file has thousands of FAT sectors, found one at a time as
// its DIFAT is read; a tree node for each cost more than reading them.
#include "msi/cfb/format.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace msi::cfb {

class table_sector_marks {
public:
    // `mark` is fat_sector_mark or difat_sector_mark; false when `s` holds
    // either already.
    bool add(std::uint32_t s, std::uint32_t mark);
    void erase(std::uint32_t s);
    std::optional<std::uint32_t> find(std::uint32_t s) const;

    // Calls `f(s, mark)` for each marked sector from `first` on, below
    // `first + count`, in ascending order.
    template <typename F>
    void for_each_in(std::uint32_t first, std::uint32_t count, F&& f) const {
        const std::uint64_t end = std::min<std::uint64_t>(std::uint64_t(first) + count, std::uint64_t(fat_.size()) * 64);
        for (std::uint64_t s = first; s < end;) {
            const std::uint64_t word = (fat_[s / 64] | difat_[s / 64]) >> (s % 64);
            if (word == 0) {
                s += 64 - s % 64;
                continue;
            }
            s += static_cast<std::uint64_t>(__builtin_ctzll(word));
            if (s >= end) break;
            f(static_cast<std::uint32_t>(s), is_set(fat_, s) ? fat_sector_mark : difat_sector_mark);
            ++s;
        }
    }

private:
    static bool is_set(const std::vector<std::uint64_t>& bits, std::uint64_t s) {
        return s / 64 < bits.size() && (bits[s / 64] >> (s % 64) & 1) != 0;
    }
    // Both the same length, grown as marks are added.
    std::vector<std::uint64_t> fat_;
    std::vector<std::uint64_t> difat_;
};

}  // namespace msi::cfb
