#include "system/text_conversion.h"

#include <algorithm>
#include <cstddef>

namespace sys {

namespace {

constexpr char32_t replacement = 0xFFFD;

void append_utf16(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// A byte of a file name that is not part of valid UTF-8 travels as the lone
// low surrogate U+DC00 + byte, which no valid UTF-8 decodes to, so that the
// name reaches the file system again exactly as it came.
constexpr char16_t escaped_byte_base = 0xDC00;

enum class invalid_input { replace, escape };

std::u16string decode(std::string_view text, invalid_input invalid) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra;
        char32_t c;
        char32_t minimum;
        if (lead < 0x80) {
            // A run of ASCII, most of any text, goes in at once.
            std::size_t end = i + 1;
            while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
            const std::size_t at = out.size();
            out.resize(at + (end - i));  // widened in place: appending a char range would build a temporary
            std::copy(text.data() + i, text.data() + end, out.data() + at);
            i = end;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, minimum = 0x10000;
        } else {
            out.push_back(invalid == invalid_input::escape ? char16_t(escaped_byte_base + lead)
                                                           : char16_t(replacement));
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        for (; j < text.size() && j <= i + extra; ++j) {
            const auto b = static_cast<unsigned char>(text[j]);
            if ((b & 0xC0) != 0x80) break;
            c = (c << 6) | (b & 0x3F);
        }
        if (j != i + 1 + extra || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            if (invalid == invalid_input::escape) {
                out.push_back(static_cast<char16_t>(escaped_byte_base + lead));
                ++i;
                continue;
            }
            out.push_back(replacement);
            i = j > i + 1 ? j : i + 1;
            continue;
        }
        append_utf16(out, c);
        i = j;
    }
    return out;
}

std::string encode(std::u16string_view text, invalid_input invalid) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 0x80) {
            std::size_t end = i + 1;
            while (end < text.size() && text[end] < 0x80) ++end;
            const std::size_t at = out.size();
            out.resize(at + (end - i));  // widened in place: appending a char range would build a temporary
            for (std::size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<unsigned char>(text[k]);
            i = end - 1;
            continue;
        }
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (invalid == invalid_input::escape && c >= escaped_byte_base + 0x80 && c <= escaped_byte_base + 0xFF) {
            out.push_back(static_cast<char>(c - escaped_byte_base));
            continue;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = replacement;
        }
        append_utf8(out, c);
    }
    return out;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view text) { return decode(text, invalid_input::replace); }

std::string utf16_to_utf8(std::u16string_view text) { return encode(text, invalid_input::replace); }

std::filesystem::path to_fs_path(std::u16string_view path) {
    return std::filesystem::path(encode(path, invalid_input::escape));
}

std::u16string from_fs_path(const std::filesystem::path& path) { return decode(path.native(), invalid_input::escape); }

}  // namespace sys
