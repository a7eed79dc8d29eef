#include "msi/cfb/table_sector_marks.h"

namespace msi::cfb {

bool table_sector_marks::add(std::uint32_t s, std::uint32_t mark) {
    if (find(s)) return false;
    if (s / 64 >= fat_.size()) {
        fat_.resize(s / 64 + 1);
        difat_.resize(s / 64 + 1);
    }
    (mark == fat_sector_mark ? fat_ : difat_)[s / 64] |= std::uint64_t{1} << (s % 64);
    return true;
}

void table_sector_marks::erase(std::uint32_t s) {
    if (s / 64 >= fat_.size()) return;
    const std::uint64_t keep = ~(std::uint64_t{1} << (s % 64));
    fat_[s / 64] &= keep;
    difat_[s / 64] &= keep;
}

std::optional<std::uint32_t> table_sector_marks::find(std::uint32_t s) const {
    if (is_set(fat_, s)) return fat_sector_mark;
    if (is_set(difat_, s)) return difat_sector_mark;
    return std::nullopt;
}

}  // namespace msi::cfb
