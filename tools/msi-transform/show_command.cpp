#include "commands.h"
#include "table_dump.h"

#include "msi/automation.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "msi/transform/apply.h"
#include "msi/transform/reader.h"
#include "msi/transform/streams.h"
#include "msi/transform/validation.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace msi_transform {
namespace {

using msi::column;
using msi::transform_record;

struct value {
    enum class kind { null, integer, text, binary } type = kind::null;
    std::int64_t integer = 0;
    std::string text;        // UTF-8
    std::uint64_t size = 0;  // binary
};

struct change {
    std::string column;
    value now;
    std::optional<value> before;  // with a package, when the row is there
};

struct row_change {
    std::string operation;  // "add", "remove", "update"
    std::vector<value> key;
    std::vector<change> cells;
    bool in_package = false;
};

struct table_changes {
    std::string name;
    bool added = false, dropped = false;
    std::vector<std::pair<std::string, std::string>> new_columns;  // name, notation
    std::string note;                                              // why the rows cannot be shown
    std::vector<row_change> rows;
};

struct declared_column {
    std::int32_t number;
    column definition;
};

std::string hex4(int v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char e[8];
                std::snprintf(e, sizeof e, "\\u%04x", c);
                out += e;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string json_value(const value& v) {
    switch (v.type) {
    case value::kind::null: return "null";
    case value::kind::integer: return std::to_string(v.integer);
    case value::kind::text: return json_string(v.text);
    case value::kind::binary: return "{\"binary_size\": " + std::to_string(v.size) + "}";
    }
    return "null";
}

std::string plain_value(const value& v) {
    switch (v.type) {
    case value::kind::null: return "NULL";
    case value::kind::integer: return std::to_string(v.integer);
    case value::kind::text: return "\"" + escape_field(v.text) + "\"";
    case value::kind::binary: return "[binary data, " + std::to_string(v.size) + " bytes]";
    }
    return "";
}

std::string json_list(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + json_string(items[i]);
    return out + "]";
}

class transform_view {
public:
    transform_view(const msi::transform_reader& mst, msi::package_database* package) : mst_(mst), package_(package) {}

    std::vector<table_changes> read() {
        read_catalog();
        std::vector<table_changes> out;
        for (const auto& name : added_) {
            table_changes t;
            t.name = sys::utf16_to_utf8(name);
            t.added = true;
            for (const auto& c : declared_[name])
                t.new_columns.emplace_back(sys::utf16_to_utf8(c.definition.name), column_notation(c.definition));
            out.push_back(std::move(t));
        }
        for (const auto& name : dropped_) {
            table_changes t;
            t.name = sys::utf16_to_utf8(name);
            t.dropped = true;
            out.push_back(std::move(t));
        }
        for (const auto& [name, columns] : declared_) {
            if (std::find(added_.begin(), added_.end(), name) != added_.end()) continue;
            table_changes* t = find_or_add(out, name);
            for (const auto& c : columns)
                t->new_columns.emplace_back(sys::utf16_to_utf8(c.definition.name), column_notation(c.definition));
        }
        for (const auto& name : mst_.tables()) {
            if (name == u"_Tables" || name == u"_Columns") continue;
            read_rows(*find_or_add(out, name), name);
        }
        return out;
    }

private:
    table_changes* find_or_add(std::vector<table_changes>& out, const std::u16string& name) {
        const std::string utf8 = sys::utf16_to_utf8(name);
        for (auto& t : out)
            if (t.name == utf8) return &t;
        out.push_back({});
        out.back().name = utf8;
        return &out.back();
    }

    void read_catalog() {
        transform_record r;
        if (mst_.has_records(u"_Tables")) {
            auto cursor = mst_.records(u"_Tables", msi::catalog_tables_columns());
            while (cursor.next(r)) {
                const auto name = mst_.text(r.cells[0]);
                if (r.type == transform_record::kind::add)
                    added_.push_back(name);
                else if (r.type == transform_record::kind::remove)
                    dropped_.push_back(name);
            }
        }
        if (mst_.has_records(u"_Columns")) {
            auto cursor = mst_.records(u"_Columns", msi::catalog_columns_columns());
            std::u16string numbering;
            std::int32_t counter = 0;
            while (cursor.next(r)) {
                if (r.type != transform_record::kind::add) continue;
                const auto name = mst_.text(r.cells[0]);
                std::int32_t number;
                if (r.cells[1] == 0) {
                    if (name != numbering) numbering = name, counter = 0;
                    number = ++counter;
                } else {
                    number = msi::decode_int16(r.cells[1]);
                    numbering = name, counter = number;
                }
                declared_[name].push_back(
                    {number, column{mst_.text(r.cells[2]), static_cast<std::uint16_t>(msi::decode_int16(r.cells[3]))}});
            }
            for (auto& [name, columns] : declared_)
                std::stable_sort(columns.begin(), columns.end(),
                                 [](const auto& a, const auto& b) { return a.number < b.number; });
        }
    }

    // The table's columns once the transform's own are appended; nothing
    // when neither the transform nor the package says what they are.
    std::optional<std::vector<column>> columns_of(const std::u16string& name) {
        std::vector<column> columns;
        const bool added = std::find(added_.begin(), added_.end(), name) != added_.end();
        if (!added) {
            if (!package_ || !package_->has_table(name)) return std::nullopt;
            columns = package_->get_table(name).columns();
        }
        for (const auto& c : declared_[name])
            if (c.number > static_cast<std::int32_t>(columns.size())) columns.push_back(c.definition);
        return columns;
    }

    value cell(const column& c, std::uint32_t stored) const {
        value v;
        if (stored == 0) return v;
        switch (c.cell_kind()) {
        case column::kind::string:
            v.type = value::kind::text;
            v.text = sys::utf16_to_utf8(mst_.text(stored));
            break;
        case column::kind::int16:
            v.type = value::kind::integer;
            v.integer = msi::decode_int16(stored);
            break;
        case column::kind::int32:
            v.type = value::kind::integer;
            v.integer = msi::decode_int32(stored);
            break;
        case column::kind::binary: v.type = value::kind::binary; break;
        }
        return v;
    }

    static std::u16string key_name(const value& v) {
        if (v.type == value::kind::text) return sys::utf8_to_utf16(v.text);
        if (v.type == value::kind::integer) return sys::utf8_to_utf16(std::to_string(v.integer));
        return {};
    }

    // The package's row with these key values, if any.
    std::optional<std::size_t> package_row(const msi::table& t, const std::vector<column>& columns,
                                           const transform_record& r) const {
        msi::table::row key(t.columns().size(), 0);
        for (std::size_t c = 0; c < t.columns().size(); ++c) {
            if (!columns[c].is_key() || !r.present[c] || r.cells[c] == 0) continue;
            if (columns[c].cell_kind() == column::kind::string) {
                auto id = package_->strings().find(mst_.text(r.cells[c]));
                if (!id) return std::nullopt;
                key[c] = *id;
            } else {
                key[c] = r.cells[c];
            }
        }
        const std::size_t at = t.find(key);
        if (at == msi::table::npos) return std::nullopt;
        return at;
    }

    value package_value(const msi::table& t, std::size_t row, std::size_t c) const {
        value v;
        const msi::cell_value stored = package_->cell(t, row, c);
        switch (stored.type) {
        case msi::cell_value::kind::null: break;
        case msi::cell_value::kind::integer:
            v.type = value::kind::integer;
            v.integer = stored.integer;
            break;
        case msi::cell_value::kind::string:
            v.type = value::kind::text;
            v.text = sys::utf16_to_utf8(package_->cell_text(t, row, c));
            break;
        case msi::cell_value::kind::binary: {
            v.type = value::kind::binary;
            const auto name = msi::encode_stream_name(package_->binary_stream_name(t, row), false);
            v.size = package_->storage().has_stream(name) ? package_->storage().stream_size(name) : 0;
            break;
        }
        }
        return v;
    }

    void read_rows(table_changes& out, const std::u16string& name) {
        const auto columns = columns_of(name);
        if (!columns) {
            out.note =
                std::to_string(mst_.records_size(name)) +
                " bytes of row changes; the table's columns are defined in the package (give PACKAGE.msi to read them)";
            return;
        }
        const msi::table* before =
            package_ && package_->has_table(name) && !out.added ? &package_->get_table(name) : nullptr;
        auto cursor = mst_.records(name, *columns);
        transform_record r;
        while (cursor.next(r)) {
            row_change row;
            row.operation = r.type == transform_record::kind::add      ? "add"
                            : r.type == transform_record::kind::remove ? "remove"
                                                                       : "update";
            std::u16string stream = name;
            for (std::size_t c = 0; c < columns->size(); ++c)
                if ((*columns)[c].is_key()) {
                    row.key.push_back(cell((*columns)[c], r.present[c] ? r.cells[c] : 0));
                    stream += u"." + key_name(row.key.back());
                }
            std::optional<std::size_t> old;
            if (before && before->columns().size() <= columns->size()) old = package_row(*before, *columns, r);
            row.in_package = old.has_value();
            if (r.type != transform_record::kind::remove)
                for (std::size_t c = 0; c < columns->size(); ++c) {
                    const column& col = (*columns)[c];
                    if (r.type == transform_record::kind::update && (col.is_key() || !r.present[c])) continue;
                    change ch{sys::utf16_to_utf8(col.name), cell(col, r.present[c] ? r.cells[c] : 0), std::nullopt};
                    if (ch.now.type == value::kind::binary)
                        ch.now.size = mst_.binary_data(stream).value_or(std::vector<std::uint8_t>{}).size();
                    if (old && c < before->columns().size()) ch.before = package_value(*before, *old, c);
                    row.cells.push_back(std::move(ch));
                }
            out.rows.push_back(std::move(row));
        }
    }

    const msi::transform_reader& mst_;
    msi::package_database* package_;
    std::vector<std::u16string> added_, dropped_;
    std::map<std::u16string, std::vector<declared_column>> declared_;
};

// A text property of the summary, empty when it is missing or unreadable:
// show prints what it can of a damaged summary.
std::string summary_text(const msi::summary_information& s, std::uint32_t pid) {
    try {
        if (auto t = s.text(pid)) return sys::utf16_to_utf8(*t);
    } catch (const msi::automation_error&) {}
    return {};
}

std::string key_words(const std::vector<value>& key) {
    std::string out;
    for (const auto& k : key) out += (out.empty() ? "" : ", ") + plain_value(k);
    return out;
}

void print_plain(std::ostream& out, const std::string& file, const msi::summary_information& s,
                 const msi::transform_identity& id, int code_page, const std::vector<table_changes>& tables,
                 bool with_package, const std::string& summary_error) {
    auto text = [&](std::uint32_t pid) { return summary_text(s, pid); };
    auto or_blank = [](const std::string& v) { return v.empty() ? std::string("(not given)") : v; };
    out << "Transform " << file << "\n";
    if (!summary_error.empty()) out << "  Summary information unreadable: " << summary_error << "\n";
    if (!text(2).empty()) out << "  Title:            " << text(2) << "\n";
    if (!text(3).empty()) out << "  Subject:          " << text(3) << "\n";
    if (!text(18).empty()) out << "  Made by:          " << text(18) << "\n";
    out << "  Code page:        " << (code_page == 0 ? std::string("neutral") : std::to_string(code_page)) << "\n";
    out << "  Base package:     product " << or_blank(id.base_product_code) << ", version " << or_blank(id.base_version)
        << ", platform " << (id.base_platform.empty() ? std::string("Intel") : id.base_platform) << ", language "
        << or_blank(id.base_language) << "\n";
    out << "  Result:           product " << or_blank(id.new_product_code) << ", version " << or_blank(id.new_version)
        << ", platform " << (id.new_platform.empty() ? std::string("Intel") : id.new_platform) << ", language "
        << or_blank(id.new_language) << "\n";
    out << "  Upgrade code:     " << or_blank(id.upgrade_code) << "\n";
    auto names = [](const std::vector<std::string>& v) {
        std::string joined;
        for (const auto& n : v) joined += (joined.empty() ? "" : ", ") + n;
        return joined.empty() ? std::string("none") : joined;
    };
    if (!id.has_flags) {
        out << "  Validation:       (no flags given)\n  Suppressed errors: (no flags given)\n";
    } else {
        out << "  Validation:       " << hex4(id.validation) << " "
            << names(msi::transform_validation_names(id.validation)) << "\n";
        out << "  Suppressed errors: " << hex4(id.error_conditions) << " "
            << names(msi::transform_condition_names(id.error_conditions)) << "\n";
    }
    for (const auto& t : tables) {
        out << "\nTable " << t.name;
        if (t.added) out << " (added)";
        if (t.dropped) out << " (dropped)";
        std::size_t adds = 0, removes = 0, updates = 0;
        for (const auto& r : t.rows) (r.operation == "add" ? adds : r.operation == "remove" ? removes : updates)++;
        if (!t.rows.empty()) out << ": " << adds << " added, " << removes << " removed, " << updates << " changed";
        out << "\n";
        for (const auto& [name, notation] : t.new_columns) out << "  new column " << name << " " << notation << "\n";
        if (!t.note.empty()) out << "  " << t.note << "\n";
        for (const auto& r : t.rows) {
            const char* verb = r.operation == "add" ? "added  " : r.operation == "remove" ? "removed" : "changed";
            out << "  " << verb << " [" << key_words(r.key) << "]";
            if (with_package && r.operation != "add" && !r.in_package) out << " (not in the package)";
            if (with_package && r.operation == "add" && r.in_package) out << " (already in the package)";
            out << "\n";
            for (const auto& c : r.cells) {
                out << "      " << c.column << ": ";
                if (c.before) out << plain_value(*c.before) << " -> ";
                out << plain_value(c.now) << "\n";
            }
        }
    }
}

void print_json(std::ostream& out, const std::string& file, const msi::summary_information& s,
                const msi::transform_identity& id, int code_page, const std::vector<table_changes>& tables,
                bool with_package, const std::string& summary_error) {
    auto text = [&](std::uint32_t pid) { return summary_text(s, pid); };
    out << "{\n  \"transform\": " << json_string(file) << ",\n  \"code_page\": " << code_page
        << ",\n  \"summary_error\": " << (summary_error.empty() ? "null" : json_string(summary_error))
        << ",\n  \"summary\": {\n"
        << "    \"title\": " << json_string(text(2)) << ",\n    \"subject\": " << json_string(text(3))
        << ",\n    \"creating_application\": " << json_string(text(18)) << ",\n"
        << "    \"base\": {\"product_code\": " << json_string(id.base_product_code)
        << ", \"version\": " << json_string(id.base_version) << ", \"platform\": " << json_string(id.base_platform)
        << ", \"language\": " << json_string(id.base_language) << "},\n"
        << "    \"result\": {\"product_code\": " << json_string(id.new_product_code)
        << ", \"version\": " << json_string(id.new_version) << ", \"platform\": " << json_string(id.new_platform)
        << ", \"language\": " << json_string(id.new_language) << "},\n"
        << "    \"upgrade_code\": " << json_string(id.upgrade_code) << ",\n";
    if (id.has_flags)
        out << "    \"validation\": {\"value\": " << id.validation
            << ", \"names\": " << json_list(msi::transform_validation_names(id.validation)) << "},\n"
            << "    \"error_conditions\": {\"value\": " << id.error_conditions
            << ", \"names\": " << json_list(msi::transform_condition_names(id.error_conditions)) << "}\n";
    else
        out << "    \"validation\": null,\n    \"error_conditions\": null\n";
    out << "  },\n  \"tables\": [";
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const auto& t = tables[i];
        out << (i ? "," : "") << "\n    {\"name\": " << json_string(t.name)
            << ", \"added\": " << (t.added ? "true" : "false") << ", \"dropped\": " << (t.dropped ? "true" : "false")
            << ",\n     \"new_columns\": [";
        for (std::size_t c = 0; c < t.new_columns.size(); ++c)
            out << (c ? ", " : "") << "{\"name\": " << json_string(t.new_columns[c].first)
                << ", \"type\": " << json_string(t.new_columns[c].second) << "}";
        out << "],\n     \"note\": " << (t.note.empty() ? "null" : json_string(t.note)) << ",\n     \"rows\": [";
        for (std::size_t r = 0; r < t.rows.size(); ++r) {
            const auto& row = t.rows[r];
            out << (r ? "," : "") << "\n       {\"operation\": " << json_string(row.operation) << ", \"key\": [";
            for (std::size_t k = 0; k < row.key.size(); ++k) out << (k ? ", " : "") << json_value(row.key[k]);
            out << "]";
            if (with_package) out << ", \"in_package\": " << (row.in_package ? "true" : "false");
            out << ", \"cells\": [";
            for (std::size_t c = 0; c < row.cells.size(); ++c) {
                out << (c ? ", " : "") << "{\"column\": " << json_string(row.cells[c].column)
                    << ", \"new\": " << json_value(row.cells[c].now);
                if (row.cells[c].before) out << ", \"old\": " << json_value(*row.cells[c].before);
                out << "}";
            }
            out << "]}";
        }
        out << (t.rows.empty() ? "" : "\n     ") << "]}";
    }
    out << (tables.empty() ? "" : "\n  ") << "]\n}\n";
}

}  // namespace

int show_command(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json")
            json = true;
        else if (a.rfind("--", 0) == 0)
            throw usage_error{"unknown option " + a};
        else
            files.push_back(a);
    }
    if (files.empty() || files.size() > 2) throw usage_error{"show needs TRANSFORM.mst and, if wanted, PACKAGE.msi"};
    const msi::transform_reader mst(files[0]);
    std::shared_ptr<msi::Database> package;
    if (files.size() == 2) {
        msi::Installer installer;
        package = installer.OpenDatabase(sys::utf8_to_utf16(files[1]), msi::msiOpenDatabaseModeReadOnly);
    }
    // A damaged summary does not hide the rows: it is shown as damaged.
    msi::summary_information summary;
    std::string summary_error;
    try {
        summary = mst.summary();
    } catch (const msi::automation_error& e) {
        summary_error = e.what();
    }
    const auto identity = msi::read_transform_identity(summary);
    transform_view view(mst, package ? &package->engine() : nullptr);
    const auto tables = view.read();
    std::ostringstream out;
    if (json)
        print_json(out, files[0], summary, identity, mst.code_page(), tables, package != nullptr, summary_error);
    else
        print_plain(out, files[0], summary, identity, mst.code_page(), tables, package != nullptr, summary_error);
    std::cout << out.str();
    return 0;
}

}  // namespace msi_transform
