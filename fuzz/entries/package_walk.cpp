#include "package_walk.h"

#include "msi/automation_error.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"

#include <algorithm>
#include <map>

namespace fuzz_entry {

namespace {

// ASCII as it is, anything else as \u<decimal>; (enough to compare dumps).
std::string printable(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80)
            out += static_cast<char>(c);
        else
            out += "\\u" + std::to_string(static_cast<unsigned>(c)) + ";";
    }
    return out;
}

std::string cell_line(msi::package_database& db, const msi::table& t, std::size_t row) {
    std::string line = printable(t.name());
    for (std::size_t c = 0; c < t.columns().size(); ++c) {
        const msi::cell_value v = db.cell(t, row, c);
        line += '\t';
        switch (v.type) {
        case msi::cell_value::kind::null: line += "<null>"; break;
        case msi::cell_value::kind::integer: line += std::to_string(v.integer); break;
        case msi::cell_value::kind::string: line += printable(db.cell_text(t, row, c)); break;
        case msi::cell_value::kind::binary: line += "<binary>"; break;
        }
    }
    return line;
}

}  // namespace

std::vector<std::string> dump_tables(msi::package_database& db) {
    std::vector<std::u16string> names{u"_Tables", u"_Columns"};
    for (const auto& name : db.table_names()) names.push_back(name);
    std::vector<std::string> lines;
    for (const auto& name : names) {
        try {
            msi::table& t = db.get_table(name);
            std::vector<std::string> rows;
            for (std::size_t r = 0; r < t.row_count(); ++r) rows.push_back(cell_line(db, t, r));
            lines.insert(lines.end(), rows.begin(), rows.end());
        } catch (const msi::automation_error&) {
            lines.push_back("#unreadable\t" + printable(name));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

int read_every_stream(msi::package_database& db) {
    int read = 0;
    for (const auto& name : db.storage().stream_names()) {
        try {
            (void)db.storage().stream_size(name);
            (void)db.storage().read_stream(name);
            ++read;
        } catch (const msi::automation_error&) {}
    }
    try {
        (void)db.summary_information();
    } catch (const msi::automation_error&) {}
    return read;
}

std::map<std::u16string, std::vector<std::uint8_t>> streams_outside_tables(msi::package_database& db) {
    std::map<std::u16string, std::vector<std::uint8_t>> streams;
    for (const auto& name : db.storage().stream_names()) {
        if (!name.empty() && name[0] == table_stream_marker) continue;
        try {
            streams[name] = db.storage().read_stream(name);
        } catch (const msi::automation_error&) {}
    }
    return streams;
}

int change_every_table(msi::package_database& db) {
    int changes = 0;
    bool long_string_done = false;
    for (const auto& name : db.table_names()) {
        msi::table* t = nullptr;
        try {
            t = &db.get_table(name);
        } catch (const msi::automation_error&) {
            continue;
        }
        if (t->row_count() == 0) continue;
        const auto& columns = t->columns();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].is_key()) continue;
            try {
                switch (columns[c].cell_kind()) {
                case msi::column::kind::string:
                    if (!long_string_done) {
                        db.set_string(*t, 0, c, std::u16string(70000, u'L'));
                        long_string_done = true;
                    } else {
                        db.set_string(*t, 0, c, u"fuzz changed value");
                    }
                    ++changes;
                    break;
                case msi::column::kind::int16:
                    db.set_integer(*t, 0, c, 7);
                    ++changes;
                    break;
                case msi::column::kind::int32:
                    db.set_integer(*t, 0, c, 123456);
                    ++changes;
                    break;
                case msi::column::kind::binary: break;
                }
            } catch (const msi::automation_error&) {}
        }
        if (columns.empty() || !columns[0].is_key() || columns[0].cell_kind() != msi::column::kind::string) continue;
        std::vector<msi::cell_value> values;
        std::vector<std::u16string> texts;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            values.push_back(db.cell(*t, 0, c));
            texts.push_back(values.back().type == msi::cell_value::kind::string ? db.cell_text(*t, 0, c) : u"");
        }
        texts[0] = u"zz_fuzz_added_row";
        values[0].type = msi::cell_value::kind::string;
        try {
            db.insert_row(*t, values, texts);
            ++changes;
        } catch (const msi::automation_error&) {}
    }
    return changes;
}

std::string first_difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
        const std::string x = i < a.size() ? a[i] : "<none>";
        const std::string y = i < b.size() ? b[i] : "<none>";
        if (x != y) return "before: " + x.substr(0, 200) + " / after: " + y.substr(0, 200);
    }
    return {};
}

}  // namespace fuzz_entry
