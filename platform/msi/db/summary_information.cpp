#include "msi/db/summary_information.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"

#include <array>
#include <chrono>

namespace msi {
namespace {

constexpr std::uint16_t vt_i2 = 2;
constexpr std::uint16_t vt_i4 = 3;
constexpr std::uint16_t vt_lpstr = 30;
constexpr std::uint16_t vt_filetime = 64;

// F29F85E0-4FF9-1068-AB91-08002B27B3D9 as stored.
constexpr std::array<std::uint8_t, 16> summary_format_id = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                                            0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr std::size_t header_size = 48;  // set header, one format id and its offset
// More properties than any summary set defines means a damaged stream.
constexpr std::uint32_t max_properties = 1024;

[[noreturn]] void malformed(const std::string& what) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID),
                           "The summary information stream is damaged: " + what + ".");
}

std::uint32_t read_u32(const std::vector<std::uint8_t>& s, std::size_t at) {
    return static_cast<std::uint32_t>(s[at]) | static_cast<std::uint32_t>(s[at + 1]) << 8 |
           static_cast<std::uint32_t>(s[at + 2]) << 16 | static_cast<std::uint32_t>(s[at + 3]) << 24;
}
std::uint16_t read_u16(const std::vector<std::uint8_t>& s, std::size_t at) {
    return static_cast<std::uint16_t>(s[at] | s[at + 1] << 8);
}

void put_u16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void set_u32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Text in the set's code page; bytes no converter accepts read one byte per
// character, so a damaged title never stops a caller.
std::u16string decode_leniently(const std::string& bytes, int code_page) {
    try {
        return decode_code_page(bytes, code_page);
    } catch (const automation_error&) {}
    try {
        return decode_code_page(bytes, 0);
    } catch (const automation_error&) {}
    std::u16string text;
    for (unsigned char c : bytes) text.push_back(c);
    return text;
}

}  // namespace

std::uint64_t filetime_now() {
    using namespace std::chrono;
    constexpr std::uint64_t seconds_1601_to_1970 = 11644473600ULL;
    auto since_1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return seconds_1601_to_1970 * 10'000'000ULL + static_cast<std::uint64_t>(since_1970 / 100);
}

summary_information summary_information::parse(const std::vector<std::uint8_t>& s) {
    summary_information result;
    if (s.empty()) return result;
    if (s.size() < header_size) malformed("it is shorter than its header");
    if (read_u16(s, 0) != 0xFFFE) malformed("the byte order mark is wrong");
    if (read_u32(s, 24) == 0) return result;

    const std::size_t section = read_u32(s, 44);
    if (section > s.size() || s.size() - section < 8) malformed("the section lies outside the stream");
    std::size_t section_size = read_u32(s, section);
    if (section_size > s.size() - section) malformed("the section runs past the end of the stream");
    const std::uint32_t count = read_u32(s, section + 4);
    if (count > max_properties || 8 + std::size_t{count} * 8 > section_size)
        malformed("the property count does not fit the section");

    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t id = read_u32(s, section + 8 + i * 8);
        const std::size_t offset = read_u32(s, section + 12 + i * 8);
        if (offset > section_size || section_size - offset < 4) malformed("a property lies outside the section");
        const std::size_t at = section + offset;
        const std::size_t room = section_size - offset - 4;  // bytes after the type word
        const std::uint16_t type = read_u16(s, at);
        value v;
        switch (type) {
        case vt_i2:
            if (room < 2) malformed("a 2-byte integer is cut short");
            v.type = value::kind::int16;
            v.integer = static_cast<std::int16_t>(read_u16(s, at + 4));
            break;
        case vt_i4:
            if (room < 4) malformed("a 4-byte integer is cut short");
            v.type = value::kind::int32;
            v.integer = static_cast<std::int32_t>(read_u32(s, at + 4));
            break;
        case vt_lpstr: {
            if (room < 4) malformed("a string length is cut short");
            const std::size_t length = read_u32(s, at + 4);
            if (length > room - 4) malformed("a string runs past the end of the section");
            v.type = value::kind::text;
            v.bytes.assign(reinterpret_cast<const char*>(s.data() + at + 8), length);
            if (auto nul = v.bytes.find('\0'); nul != std::string::npos) v.bytes.resize(nul);
            break;
        }
        case vt_filetime:
            if (room < 8) malformed("a time is cut short");
            v.type = value::kind::filetime;
            v.time = read_u32(s, at + 4) | static_cast<std::uint64_t>(read_u32(s, at + 8)) << 32;
            break;
        default: continue;  // a type the installer does not use here
        }
        result.properties_[id] = std::move(v);
    }
    return result;
}

std::vector<std::uint8_t> summary_information::serialize() const {
    std::vector<std::uint8_t> out;
    put_u16(out, 0xFFFE);
    put_u16(out, 0);
    put_u32(out, 0x00020005);  // originating system: Windows NT 5
    out.insert(out.end(), 16, 0);
    put_u32(out, 1);
    out.insert(out.end(), summary_format_id.begin(), summary_format_id.end());
    put_u32(out, header_size);

    const std::size_t section = out.size();
    put_u32(out, 0);  // section size, filled in below
    put_u32(out, static_cast<std::uint32_t>(properties_.size()));
    const std::size_t table = out.size();
    out.insert(out.end(), properties_.size() * 8, 0);

    std::size_t index = 0;
    for (const auto& [id, v] : properties_) {
        set_u32(out, table + index * 8, id);
        set_u32(out, table + index * 8 + 4, static_cast<std::uint32_t>(out.size() - section));
        ++index;
        switch (v.type) {
        case value::kind::int16:
            put_u32(out, vt_i2);
            put_u16(out, static_cast<std::uint16_t>(v.integer));
            put_u16(out, 0);
            break;
        case value::kind::int32:
            put_u32(out, vt_i4);
            put_u32(out, static_cast<std::uint32_t>(v.integer));
            break;
        case value::kind::text:
            put_u32(out, vt_lpstr);
            put_u32(out, static_cast<std::uint32_t>(v.bytes.size() + 1));
            out.insert(out.end(), v.bytes.begin(), v.bytes.end());
            out.push_back(0);
            while (out.size() % 4 != 0) out.push_back(0);
            break;
        case value::kind::filetime:
            put_u32(out, vt_filetime);
            put_u32(out, static_cast<std::uint32_t>(v.time));
            put_u32(out, static_cast<std::uint32_t>(v.time >> 32));
            break;
        }
    }
    set_u32(out, section, static_cast<std::uint32_t>(out.size() - section));
    return out;
}

const summary_information::value* summary_information::find(std::uint32_t id) const {
    auto it = properties_.find(id);
    return it == properties_.end() ? nullptr : &it->second;
}

int summary_information::code_page() const {
    auto v = integer(summary_property::code_page);
    return v ? (*v & 0xFFFF) : 0;
}

void summary_information::set_code_page(int code_page) {
    set_int16(summary_property::code_page, static_cast<std::int16_t>(static_cast<std::uint16_t>(code_page)));
}

std::optional<std::int32_t> summary_information::integer(std::uint32_t id) const {
    const value* v = find(id);
    if (!v || (v->type != value::kind::int16 && v->type != value::kind::int32)) return std::nullopt;
    return v->integer;
}

void summary_information::set_int16(std::uint32_t id, std::int16_t v) {
    value x;
    x.type = value::kind::int16;
    x.integer = v;
    properties_[id] = std::move(x);
}

void summary_information::set_int32(std::uint32_t id, std::int32_t v) {
    value x;
    x.type = value::kind::int32;
    x.integer = v;
    properties_[id] = std::move(x);
}

std::optional<std::string> summary_information::bytes(std::uint32_t id) const {
    const value* v = find(id);
    if (!v || v->type != value::kind::text) return std::nullopt;
    return v->bytes;
}

void summary_information::set_bytes(std::uint32_t id, std::string bytes) {
    value x;
    x.type = value::kind::text;
    if (auto nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
    x.bytes = std::move(bytes);
    properties_[id] = std::move(x);
}

std::optional<std::u16string> summary_information::text(std::uint32_t id) const {
    auto b = bytes(id);
    if (!b) return std::nullopt;
    return decode_leniently(*b, code_page());
}

void summary_information::set_text(std::uint32_t id, std::u16string_view text) {
    set_bytes(id, encode_code_page(text, code_page()));
}

std::optional<std::uint64_t> summary_information::filetime(std::uint32_t id) const {
    const value* v = find(id);
    if (!v || v->type != value::kind::filetime) return std::nullopt;
    return v->time;
}

void summary_information::set_filetime(std::uint32_t id, std::uint64_t time) {
    value x;
    x.type = value::kind::filetime;
    x.time = time;
    properties_[id] = std::move(x);
}

}  // namespace msi
