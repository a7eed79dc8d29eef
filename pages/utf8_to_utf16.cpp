#include "pages/utf8_to_utf16.h"

#include "system/text_conversion.h"

#include <climits>
#include <string_view>
#include <system_error>

std::u16string utf8_to_utf16(const char* text, std::size_t length) {
    if (length == 0) return {};
    if (text == nullptr || length > static_cast<std::size_t>(INT_MAX))
        throw std::system_error(std::make_error_code(std::errc::invalid_argument), "Conversion check has been failed");
    return sys::utf8_to_utf16(std::string_view(text, length));
}
