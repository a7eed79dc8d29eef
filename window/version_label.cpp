#include "window/version_label.h"

#include "system/text_conversion.h"

#include <fmt/format.h>

std::u16string format_version_label(std::u16string_view format, std::u16string_view version) {
    try {
        return sys::utf8_to_utf16(fmt::format(fmt::runtime(sys::utf16_to_utf8(format)), sys::utf16_to_utf8(version)));
    } catch (const fmt::format_error&) {
        return {};
    }
}
