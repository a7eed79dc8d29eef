#include "msi/cfb/table_sector_marks.h"

namespace msi::cfb {

bool table_sector_marks::add(std::uint32_t s, std::uint32_t mark) {
    if (find(s)) return false;
    if (mark == difat_sector_mark) {
        difat_.insert(std::upper_bound(difat_.begin(), difat_.end(), s), s);
        return true;
    }
    if (s / 64 >= fat_.size()) fat_.resize(s / 64 + 1);
    fat_[s / 64] |= std::uint64_t{1} << (s % 64);
    return true;
}

void table_sector_marks::erase(std::uint32_t s) {
    if (s / 64 < fat_.size()) fat_[s / 64] &= ~(std::uint64_t{1} << (s % 64));
    if (auto d = std::lower_bound(difat_.begin(), difat_.end(), s); d != difat_.end() && *d == s) difat_.erase(d);
}

std::optional<std::uint32_t> table_sector_marks::find(std::uint32_t s) const {
    if (is_fat(s)) return fat_sector_mark;
    if (std::binary_search(difat_.begin(), difat_.end(), s)) return difat_sector_mark;
    return std::nullopt;
}

}  // namespace msi::cfb
