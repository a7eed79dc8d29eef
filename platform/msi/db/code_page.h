#pragma once
// Text in a package is stored as bytes in the database's code page; callers
// see UTF-16. Conversions go through iconv.
#include <string>
#include <string_view>

namespace msi {

// Code pages a database may declare and this engine can convert: 0
// (neutral), Windows' ANSI and OEM code pages, ISO 8859, KOI8, the EUC and
// GB18030 ones and 65001.
bool is_supported_code_page(int code_page);

// Raises automation_error (ERROR_INSTALL_LANGUAGE_UNSUPPORTED) naming the
// code page.
[[noreturn]] void unsupported_code_page(int code_page);

// Bytes stored in a database of `code_page` as UTF-16. The neutral code page
// reads as Windows-1252 (ASCII reads the same in every code page). Bytes that
// are not valid in the code page raise automation_error (ERROR_INVALID_DATA).
std::u16string decode_code_page(std::string_view bytes, int code_page);

// UTF-16 text as bytes of `code_page`. Text the code page cannot hold raises
// automation_error (ERROR_INVALID_DATA) naming the code page.
std::string encode_code_page(std::u16string_view text, int code_page);

// Raises as encode_code_page would for text the code page cannot hold,
// without keeping the bytes: ASCII, which every code page holds, is not
// converted at all.
void check_encodable(std::u16string_view text, int code_page);

}  // namespace msi
