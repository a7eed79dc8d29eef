#include "window/version_label.h"

#include "dialog/resource_access.h"

#include <fmt/format.h>

std::u16string format_version_label(std::u16string_view format, std::u16string_view version) {
    try {
        return to_utf16(fmt::format(fmt::runtime(to_utf8(format)), to_utf8(version)));
    } catch (const fmt::format_error&) {
        return {};
    }
}
