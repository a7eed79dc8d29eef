#include "msi/cfb/name_order.h"

namespace msi::cfb {
namespace {

// Simple uppercase mapping for the scripts that occur in storage names;
// installer-encoded names (U+3800..U+4840) have no case.
char16_t upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return c - 0x20;
    if (c < 0xB5) return c;
    if (c == 0xB5) return 0x39C;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c == 0x131) return u'I';
    if (c == 0x17F) return u'S';
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A alternates upper/lower pairs, with a shift at U+0138.
        if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return (c & 1) ? c - 1 : c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
    return c;
}

}  // namespace

int compare_names(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = upper(a[i]), y = upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

}  // namespace msi::cfb
