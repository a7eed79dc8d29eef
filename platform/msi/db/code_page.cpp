#include "msi/db/code_page.h"

#include "system/text_conversion.h"

#include "msi/automation_error.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace msi {
namespace {

struct code_page_name {
    int code_page;
    const char* iconv;
};

// The code pages a database may declare that iconv can convert, by iconv's
// names: Windows' ANSI and OEM code pages, the ISO 8859 ones, and the other
// single- and multi-byte ones whose lower half is ASCII. The neutral code page
// reads as Windows-1252.
constexpr code_page_name code_pages[] = {
    {0, "CP1252"},         {437, "CP437"},         {737, "CP737"},         {775, "CP775"},        {850, "CP850"},
    {852, "CP852"},        {855, "CP855"},         {857, "CP857"},         {858, "CP858"},        {860, "CP860"},
    {861, "CP861"},        {862, "CP862"},         {863, "CP863"},         {864, "CP864"},        {865, "CP865"},
    {866, "CP866"},        {869, "CP869"},         {874, "CP874"},         {932, "CP932"},        {936, "CP936"},
    {949, "CP949"},        {950, "CP950"},         {1250, "CP1250"},       {1251, "CP1251"},      {1252, "CP1252"},
    {1253, "CP1253"},      {1254, "CP1254"},       {1255, "CP1255"},       {1256, "CP1256"},      {1257, "CP1257"},
    {1258, "CP1258"},      {1361, "JOHAB"},        {10000, "MACINTOSH"},   {20127, "US-ASCII"},   {20866, "KOI8-R"},
    {20932, "EUC-JP"},     {21866, "KOI8-U"},      {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"}, {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {51932, "EUC-JP"},     {51936, "EUC-CN"},
    {51949, "EUC-KR"},     {54936, "GB18030"},     {65001, "UTF-8"},
};

const char* iconv_name(int code_page) {
    for (const auto& entry : code_pages)
        if (entry.code_page == code_page) return entry.iconv;
    return nullptr;
}

[[noreturn]] void conversion_failed(int code_page, bool decoding) {
    throw automation_error(
        hresult_from_win32(ERROR_INVALID_DATA),
        decoding ? "Text in the database is not valid in its code page " + std::to_string(code_page) + "."
                 : "The text cannot be stored in the database's code page " + std::to_string(code_page) + ".");
}

// Converts `in` (bytes) from one iconv encoding to another; false when a
// character is invalid or cannot be represented.
bool convert(const char* from, const char* to, const char* data, std::size_t size, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    char* in_ptr = const_cast<char*>(data);
    std::size_t in_left = size;
    char buffer[4096];
    bool ok = true;
    while (true) {
        char* out_ptr = buffer;
        std::size_t out_left = sizeof buffer;
        std::size_t r = in_left ? iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left)
                                : iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
        out.append(buffer, static_cast<std::size_t>(out_ptr - buffer));
        if (r != static_cast<std::size_t>(-1)) {
            if (in_left == 0) {
                if (in_ptr == nullptr) break;
                // flush the shift state once
                in_ptr = nullptr;
                continue;
            }
            continue;
        }
        if (errno == E2BIG) continue;
        ok = false;  // EILSEQ, EINVAL: invalid or unrepresentable input
        break;
    }
    iconv_close(cd);
    return ok;
}

// Windows-1252 is decoded here rather than by iconv so that its five unassigned
// bytes read as the control characters Windows gives them, not as errors.
constexpr char16_t cp1252_high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string decode_1252(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (unsigned char c : bytes) text += (c >= 0x80 && c < 0xA0) ? cp1252_high[c - 0x80] : char16_t(c);
    return text;
}

std::string encode_1252(std::u16string_view text, int code_page) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            out += static_cast<char>(c);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k)
            if (cp1252_high[k] == c) found = k;
        if (found < 0) conversion_failed(code_page, false);
        out += static_cast<char>(0x80 + found);
    }
    return out;
}

bool is_ascii(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

}  // namespace

bool is_supported_code_page(int code_page) { return iconv_name(code_page) != nullptr; }

void unsupported_code_page(int code_page) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_LANGUAGE_UNSUPPORTED),
                           "The database's code page " + std::to_string(code_page) + " is not supported.");
}

std::u16string decode_code_page(std::string_view bytes, int code_page) {
    bool ascii = true;
    for (unsigned char c : bytes) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return std::u16string(bytes.begin(), bytes.end());
    if (!is_supported_code_page(code_page)) unsupported_code_page(code_page);
    if (code_page == 0 || code_page == 1252) return decode_1252(bytes);
    std::string out;
    if (!convert(iconv_name(code_page), "UTF-16LE", bytes.data(), bytes.size(), out))
        conversion_failed(code_page, true);
    std::u16string text(out.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                        (static_cast<unsigned char>(out[2 * i + 1]) << 8));
    return text;
}

std::string encode_code_page(std::u16string_view text, int code_page) {
    if (is_ascii(text)) return std::string(text.begin(), text.end());
    if (!is_supported_code_page(code_page)) unsupported_code_page(code_page);
    if (code_page == 0 || code_page == 1252) return encode_1252(text, code_page);
    std::string in(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        in[2 * i] = static_cast<char>(text[i] & 0xFF);
        in[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::string out;
    if (!convert("UTF-16LE", iconv_name(code_page), in.data(), in.size(), out)) conversion_failed(code_page, false);
    return out;
}

void check_encodable(std::u16string_view text, int code_page) {
    if (!is_ascii(text)) encode_code_page(text, code_page);
}

}  // namespace msi
