#include "resource_access.h"

namespace {

// What windows load from before the program registers its resources.
class empty_resource_source : public resource_source {
public:
    const dialog_template* find_dialog(int) const override { return nullptr; }
    std::optional<std::u16string> find_string(int) const override { return std::nullopt; }
    std::vector<icon_image> find_icon(int) const override { return {}; }
};

const resource_source& no_resources() {
    static const empty_resource_source none;
    return none;
}
const resource_source* program_source = nullptr;
const resource_source* replacing_source = nullptr;

}  // namespace

const resource_source& current_resource_source() {
    if (replacing_source) return *replacing_source;
    if (program_source) return *program_source;
    return no_resources();
}

void set_resource_source(const resource_source* source) { replacing_source = source; }
void set_program_resource_source(const resource_source* source) { program_source = source; }

void AfxSetResourceHandle(const resource_source* source) { set_resource_source(source); }
const resource_source& AfxGetResourceHandle() { return current_resource_source(); }

BOOL LoadString(UINT id, std::u16string& text) {
    auto found = current_resource_source().find_string(static_cast<int>(id));
    if (!found) {
        text.clear();
        return FALSE;
    }
    text = std::move(*found);
    return TRUE;
}

std::string to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string to_utf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = byte(i);
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (lead < 0x80) { c = lead; }
        else if ((lead & 0xE0) == 0xC0) { c = lead & 0x1F; extra = 1; min = 0x80; }
        else if ((lead & 0xF0) == 0xE0) { c = lead & 0x0F; extra = 2; min = 0x800; }
        else if ((lead & 0xF8) == 0xF0) { c = lead & 0x07; extra = 3; min = 0x10000; }
        else { out += u'\xFFFD'; ++i; continue; }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= utf8.size() || (byte(j) & 0xC0) != 0x80) { ok = false; break; }
            c = (c << 6) | (byte(j) & 0x3F);
        }
        if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\xFFFD';
            i = ok ? j : std::max(j, i + 1);
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i = j;
    }
    return out;
}
