#include "msi/db/stream_name.h"

namespace msi {
namespace {

constexpr char16_t table_marker = 0x4840;
constexpr char16_t pair_base = 0x3800;    // two characters: 0x3800..0x47FF
constexpr char16_t single_base = 0x4800;  // one character:  0x4800..0x483F

// Value of a character in the 64-symbol alphabet, or -1 when it has none.
int alphabet_value(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    if (c >= u'a' && c <= u'z') return c - u'a' + 36;
    if (c == u'.') return 62;
    if (c == u'_') return 63;
    return -1;
}

char16_t alphabet_char(int value) {
    if (value < 10) return static_cast<char16_t>(u'0' + value);
    if (value < 36) return static_cast<char16_t>(u'A' + value - 10);
    if (value < 62) return static_cast<char16_t>(u'a' + value - 36);
    return value == 62 ? u'.' : u'_';
}

}  // namespace

std::u16string encode_stream_name(std::u16string_view name, bool is_table) {
    if (!name.empty() && name.front() == 0x0005) return std::u16string(name);
    std::u16string out;
    out.reserve(name.size() + 1);
    if (is_table) out.push_back(table_marker);
    for (std::size_t i = 0; i < name.size(); ++i) {
        int first = alphabet_value(name[i]);
        if (first < 0) {
            out.push_back(name[i]);
            continue;
        }
        int second = i + 1 < name.size() ? alphabet_value(name[i + 1]) : -1;
        if (second >= 0) {
            out.push_back(static_cast<char16_t>(pair_base + first + (second << 6)));
            ++i;
        } else {
            out.push_back(static_cast<char16_t>(single_base + first));
        }
    }
    return out;
}

std::u16string decode_stream_name(std::u16string_view stored, bool* is_table) {
    bool table = !stored.empty() && stored.front() == table_marker;
    if (is_table) *is_table = table;
    if (table) stored.remove_prefix(1);
    std::u16string out;
    out.reserve(stored.size() * 2);
    for (char16_t unit : stored) {
        if (unit >= pair_base && unit < single_base) {
            int value = unit - pair_base;
            out.push_back(alphabet_char(value & 0x3F));
            out.push_back(alphabet_char(value >> 6));
        } else if (unit >= single_base && unit < single_base + 0x40) {
            out.push_back(alphabet_char(unit - single_base));
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

}  // namespace msi
