#pragma once
// The order of names within one storage: shorter names first, names of equal
// length compared code unit by code unit after simple uppercase mapping.
// Lookups and sibling trees in every reader depend on it.
#include <string_view>

namespace msi::cfb {

int compare_names(std::u16string_view a, std::u16string_view b);

struct name_less {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const { return compare_names(a, b) < 0; }
};

}  // namespace msi::cfb
