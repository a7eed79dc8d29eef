#include "support/memory_package.h"

#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "msi/db/summary_information.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>

namespace test_support {

namespace {

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string part; std::getline(in, part, separator);) {
        if (!part.empty() && part.back() == '\r') part.pop_back();
        out.push_back(part);
    }
    if (!line.empty() && line.back() == separator) out.emplace_back();
    return out;
}

// A column as its .idt type ("s72", "L0", "I2", "v0", ...) declares it:
// the letter's case says whether it may be NULL.
msi::column column_of(const std::string& name, const std::string& notation, bool key) {
    const int size = std::stoi(notation.substr(1));
    std::uint16_t type = 0;
    switch (std::tolower(static_cast<unsigned char>(notation.at(0)))) {
    case 's': type = 0x0D00 | size; break;
    case 'l': type = 0x0F00 | size; break;
    case 'i': type = size == 2 ? 0x0502 : 0x0104; break;
    case 'v': type = 0x0900; break;
    default: throw std::runtime_error("unknown column type '" + notation + "' of column " + name);
    }
    if (std::isupper(static_cast<unsigned char>(notation[0]))) type |= msi::column_type_nullable;
    if (key) type |= msi::column_type_key;
    return {sys::utf8_to_utf16(name), type};
}

std::string binary_file(const msi_source& source, const std::string& relative) {
    for (const auto& [name, bytes] : source.files)
        if (name == relative) return bytes;
    throw std::runtime_error("no file " + relative + " for a binary cell");
}

void add_row(msi::package_database& db, msi::table& t, const std::vector<std::string>& fields,
             const msi_source& source) {
    const std::size_t width = t.columns().size();
    std::vector<msi::cell_value> values(width);
    std::vector<std::u16string> texts(width);
    std::map<std::size_t, std::vector<std::uint8_t>> binaries;
    for (std::size_t c = 0; c < width && c < fields.size(); ++c) {
        if (fields[c].empty()) continue;
        switch (t.columns()[c].cell_kind()) {
        case msi::column::kind::binary: {
            const std::string data = binary_file(source, sys::utf16_to_utf8(t.name()) + "/" + fields[c]);
            binaries[c].assign(data.begin(), data.end());
            break;
        }
        case msi::column::kind::string:
            values[c].type = msi::cell_value::kind::string;
            texts[c] = sys::utf8_to_utf16(fields[c]);
            break;
        case msi::column::kind::int16:
        case msi::column::kind::int32:
            values[c].type = msi::cell_value::kind::integer;
            values[c].integer = std::stoi(fields[c]);
            break;
        }
    }
    const std::size_t row = db.insert_row(t, values, texts);
    for (const auto& [c, data] : binaries) db.set_binary(t, row, c, &data);
}

void add_table(msi::package_database& db, const idt_table& table, const msi_source& source) {
    const std::vector<std::string> lines = split(table.text, '\n');
    if (lines.size() < 3) throw std::runtime_error("table " + table.name + " has no header");
    const std::vector<std::string> names = split(lines[0], '\t'), types = split(lines[1], '\t');
    const std::vector<std::string> keys = split(lines[2], '\t');
    std::vector<msi::column> columns;
    for (std::size_t c = 0; c < names.size(); ++c)
        columns.push_back(
            column_of(names[c], types.at(c), std::find(keys.begin() + 1, keys.end(), names[c]) != keys.end()));
    const std::u16string name = sys::utf8_to_utf16(keys.at(0));
    db.create_table(name, columns);
    msi::table& t = db.get_table(name);
    for (std::size_t l = 3; l < lines.size(); ++l)
        if (!lines[l].empty()) add_row(db, t, split(lines[l], '\t'), source);
}

// The properties msibuild sets, but for the program that made the package.
std::vector<std::uint8_t> summary_stream(const summary_info& s) {
    msi::summary_information info;
    info.set_text(msi::summary_property::title, u"Installation Database");
    info.set_text(msi::summary_property::subject, sys::utf8_to_utf16(s.title));
    info.set_text(msi::summary_property::author, sys::utf8_to_utf16(s.author));
    info.set_text(msi::summary_property::keywords, u"Installer, MSI");
    info.set_text(msi::summary_property::template_, sys::utf8_to_utf16(s.template_text));
    info.set_text(msi::summary_property::revision_number, sys::utf8_to_utf16(s.package_code));
    info.set_int32(msi::summary_property::page_count, 200);
    info.set_int32(msi::summary_property::word_count, 0);
    info.set_int32(msi::summary_property::character_count, 0);
    return info.serialize();
}

// The code page a "_ForceCodepage" table declares (0 without one).
int forced_code_page(const msi_source& source) {
    for (const idt_table& t : source.tables)
        if (t.name == "_ForceCodepage") return std::stoi(split(t.text, '\n').at(2));
    return 0;
}

}  // namespace

package_bytes make_msi(const msi_source& source) {
    if (!source.queries.empty()) throw std::runtime_error("statements in a package description need build_msi");
    auto db = msi::package_database::create(forced_code_page(source));
    for (const idt_table& table : source.tables)
        if (table.name != "_ForceCodepage") add_table(*db, table, source);
    for (const auto& [name, bytes] : source.streams)
        db->storage().write_stream(msi::encode_stream_name(sys::utf8_to_utf16(name), false),
                                   std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    db->storage().write_stream(u"\005SummaryInformation", summary_stream(source.summary));
    return std::make_shared<const std::vector<std::uint8_t>>(db->save_to_memory());
}

void write_msi(const std::filesystem::path& out, const msi_source& source) {
    const package_bytes bytes = make_msi(source);
    write_file(out, std::string(bytes->begin(), bytes->end()));
}

}  // namespace test_support
