#include "wx_text.h"

#include "system/text_conversion.h"

wxString to_wx(std::u16string_view text) { return wxString::FromUTF8(sys::utf16_to_utf8(text)); }

std::u16string from_wx(const wxString& text) {
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return sys::utf8_to_utf16(std::string_view(utf8.data(), utf8.length()));
}
