#include "msi/cfb/printable_name.h"

#include "system/text_conversion.h"

#include <cstdio>

namespace msi::cfb {

std::string printable_name(const std::u16string& name) {
    std::u16string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        const bool pair =
            c >= 0xD800 && c < 0xDC00 && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] < 0xE000;
        if (pair) {
            shown += c;
            shown += name[++i];
        } else if (c < 0x20 || (c >= 0xD800 && c < 0xE000)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            shown.append(buf, buf + 6);
        } else {
            shown += c;
        }
    }
    return sys::utf16_to_utf8(shown);
}

}  // namespace msi::cfb
