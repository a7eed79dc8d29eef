#include "msi/column_notation.h"
#include "msi/inspection.h"

#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "msi/transform/reader.h"
#include "msi/transform/streams.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <map>

namespace msi::inspect {
namespace {

struct declared_column {
    std::int32_t number;
    column definition;
};

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

}  // namespace

std::vector<table_changes> transform_file::changes(Database* package) const {
    return transform_view(*reader_, package ? &package->engine() : nullptr).read();
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

std::string key_words(const std::vector<value>& key) {
    std::string out;
    for (const auto& k : key) out += (out.empty() ? "" : ", ") + plain_value(k);
    return out;
}

}  // namespace msi::inspect
