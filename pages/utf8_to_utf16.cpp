#include "pages/utf8_to_utf16.h"

#include <climits>
#include <system_error>

namespace {

constexpr char32_t replacement = 0xFFFD;

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one character at text[at], advancing `at`; malformed input yields
// the replacement character and consumes what was read before the fault.
char32_t decode(const unsigned char* text, std::size_t length, std::size_t& at) {
    unsigned char lead = text[at++];
    if (lead < 0x80) return lead;

    int trailing;
    char32_t value, minimum;
    if ((lead & 0xE0) == 0xC0) {
        trailing = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        trailing = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        trailing = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return replacement;
    }
    for (int i = 0; i < trailing; ++i) {
        if (at >= length || !is_continuation(text[at])) return replacement;
        value = value << 6 | (text[at++] & 0x3F);
    }
    bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < minimum || value > 0x10FFFF || surrogate) return replacement;
    return value;
}

}  // namespace

std::u16string utf8_to_utf16(const char* text, std::size_t length) {
    if (length == 0) return {};
    if (text == nullptr || length > static_cast<std::size_t>(INT_MAX))
        throw std::system_error(std::make_error_code(std::errc::invalid_argument),
                                "Conversion check has been failed");

    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::u16string result;
    result.reserve(length);
    for (std::size_t at = 0; at < length;) {
        char32_t c = decode(bytes, length, at);
        if (c < 0x10000) {
            result.push_back(static_cast<char16_t>(c));
        } else {
            c -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        }
    }
    return result;
}
