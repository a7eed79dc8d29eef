#include "msi/column_notation.h"
#include "msi/inspection.h"

#include "msi/automation_error.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "msi/db/table.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace msi {

namespace {

std::uint32_t crc32(const std::vector<std::uint8_t>& data) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace

std::string inspect::stream_digest(const std::vector<std::uint8_t>& data) {
    char digest[64];
    std::snprintf(digest, sizeof digest, "[stream size=%zu crc32=%08X]", data.size(), crc32(data));
    return digest;
}

std::string column_notation(const column& c) {
    const std::uint16_t t = c.type;
    char letter;
    if (c.cell_kind() == column::kind::binary)
        letter = 'v';
    else if (t & column_type_localizable)
        letter = 'l';
    else if (t & column_type_string)
        letter = (t & column_type_temporary) ? 'g' : 's';
    else
        letter = (t & column_type_temporary) ? 'j' : 'i';
    if (t & column_type_nullable) letter = static_cast<char>(letter - 'a' + 'A');
    return letter + std::to_string(t & column_type_size);
}

namespace {

std::string text_field(std::u16string text) {
    // The installer hands strings over NUL-terminated.
    if (const auto nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
    return inspect::escape_field(sys::utf16_to_utf8(text));
}

std::string dump_table(package_database& db, const std::u16string& name) {
    table& t = db.get_table(name);
    const std::string table_name = text_field(name);
    std::string out = "#" + table_name;
    for (const auto& c : t.columns()) out += "\t" + text_field(c.name) + ":" + column_notation(c);
    out += "\n";

    std::vector<std::string> lines;
    lines.reserve(t.row_count());
    for (std::size_t r = 0; r < t.row_count(); ++r) {
        std::string line = table_name;
        for (std::size_t c = 0; c < t.columns().size(); ++c) {
            line += '\t';
            const cell_value v = db.cell(t, r, c);
            switch (v.type) {
            case cell_value::kind::null: break;
            case cell_value::kind::integer: line += std::to_string(v.integer); break;
            case cell_value::kind::string: line += text_field(db.cell_text(t, r, c)); break;
            case cell_value::kind::binary: {
                const auto stream = encode_stream_name(db.binary_stream_name(t, r), false);
                std::vector<std::uint8_t> data;
                if (db.storage().has_stream(stream)) data = db.storage().read_stream(stream);
                line += inspect::stream_digest(data);
                break;
            }
            }
        }
        lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    for (const auto& line : lines) out += line + "\n";
    return out;
}

}  // namespace

std::string inspect::escape_field(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (unsigned char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string inspect::dump_tables(Database& database, const std::vector<std::u16string>& tables) {
    package_database& db = database.engine();
    std::vector<std::u16string> names = tables;
    if (names.empty()) {
        names = db.table_names();
        std::sort(names.begin(), names.end(),
                  [](const auto& a, const auto& b) { return sys::utf16_to_utf8(a) < sys::utf16_to_utf8(b); });
    }
    std::string out;
    for (const auto& name : names) {
        if (!db.has_table(name))
            throw automation_error(hresult_from_win32(ERROR_INVALID_TABLE),
                                   "The database has no table '" + sys::utf16_to_utf8(name) + "'.");
        out += dump_table(db, name);
    }
    return out;
}

}  // namespace msi
