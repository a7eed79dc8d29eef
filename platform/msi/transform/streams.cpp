#include "msi/transform/streams.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/stream_name.h"
#include "msi/db/string_pool.h"
#include "system/text_conversion.h"

#include <algorithm>

namespace msi {
namespace {

// Longest stored stream name a compound file directory entry holds.
constexpr std::size_t max_stream_name_units = 31;

// Record masks: 0 removes, bit 0 with a column count in the high byte adds.
constexpr std::uint16_t mask_remove = 0;
std::uint16_t mask_add(std::size_t columns) { return static_cast<std::uint16_t>(columns << 8 | 1); }

struct record {
    std::uint16_t mask = 0;
    const transform_operation* operation = nullptr;
    std::vector<bool> present;          // per column: stored in this record
    std::vector<std::uint32_t> stored;  // per column: the value as written
};

[[noreturn]] void cannot_store(const std::string& what) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE), what);
}

record removal(const transform_table& t, const transform_operation& op) {
    record r;
    r.mask = mask_remove;
    r.operation = &op;
    for (const auto& c : t.columns) r.present.push_back(c.is_key());
    return r;
}

// A full row. Trailing columns left out read as NULL; they are left out only
// when that spares a NULL binary cell, which readers otherwise look up as a
// stream that does not exist.
record addition(const transform_table& t, const transform_operation& op) {
    std::size_t count = t.columns.size();
    bool null_binary = false;
    std::size_t last_value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& c = op.cells[i];
        if (t.columns[i].cell_kind() == column::kind::binary && c.type == transform_cell::kind::null)
            null_binary = true;
        if (c.type != transform_cell::kind::null || t.columns[i].is_key()) last_value = i + 1;
    }
    if (null_binary) count = last_value;
    record r;
    r.mask = mask_add(count);
    r.operation = &op;
    for (std::size_t i = 0; i < t.columns.size(); ++i) r.present.push_back(i < count);
    return r;
}

void add_records(const transform_table& t, const transform_operation& op, std::vector<record>& out) {
    if (op.cells.size() != t.columns.size())
        cannot_store("A change of table " + sys::utf16_to_utf8(t.name) + " does not match its columns.");
    switch (op.type) {
    case transform_operation::kind::remove: out.push_back(removal(t, op)); return;
    case transform_operation::kind::add: out.push_back(addition(t, op)); return;
    case transform_operation::kind::update: {
        std::uint32_t mask = 0;
        bool wide = false;
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            if (i >= op.changed.size() || !op.changed[i] || t.columns[i].is_key()) continue;
            if (i >= max_update_columns)
                wide = true;
            else
                mask |= 1u << i;
        }
        if (wide) {
            // The mask cannot name the column: replace the whole row.
            out.push_back(removal(t, op));
            out.push_back(addition(t, op));
            return;
        }
        if (mask == 0) return;  // nothing to store
        record r;
        r.mask = static_cast<std::uint16_t>(mask);
        r.operation = &op;
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            r.present.push_back(t.columns[i].is_key() || (mask & (1u << i)) != 0);
        out.push_back(std::move(r));
        return;
    }
    }
}

std::uint32_t stored_value(const column& c, const transform_cell& cell, string_pool& pool) {
    if (cell.type == transform_cell::kind::null) return null_cell;
    switch (c.cell_kind()) {
    case column::kind::int16: return encode_int16(cell.integer);
    case column::kind::int32: return encode_int32(cell.integer);
    case column::kind::string: return pool.add_reference_bytes(cell.bytes);
    case column::kind::binary: return 1;
    }
    return null_cell;
}

void put(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::u16string stored_stream_name(std::u16string_view logical, bool is_table, const std::u16string& table) {
    std::u16string name = encode_stream_name(logical, is_table);
    if (name.size() > max_stream_name_units)
        cannot_store("The stream name \"" + sys::utf16_to_utf8(logical) + "\" of table " + sys::utf16_to_utf8(table) +
                     " is too long for a transform.");
    return name;
}

}  // namespace

std::vector<column> catalog_tables_columns() { return {{u"Name", 0x2D40}}; }

std::vector<column> catalog_columns_columns() {
    return {{u"Table", 0x2D40}, {u"Number", 0x2502}, {u"Name", 0x0D40}, {u"Type", 0x0502}};
}

std::vector<transform_stream> serialize_transform(const transform_content& content) {
    string_pool pool(content.code_page);

    // Records first, so that every string has its id before rows are ordered.
    std::vector<std::vector<record>> records(content.tables.size());
    for (std::size_t t = 0; t < content.tables.size(); ++t) {
        const transform_table& table = content.tables[t];
        for (const auto& op : table.operations) add_records(table, op, records[t]);
        for (auto& r : records[t]) {
            r.stored.assign(table.columns.size(), null_cell);
            for (std::size_t i = 0; i < table.columns.size(); ++i)
                if (r.present[i]) r.stored[i] = stored_value(table.columns[i], r.operation->cells[i], pool);
        }
    }

    const int width = pool.reference_width();
    std::vector<transform_stream> streams;
    std::vector<transform_stream> binaries;
    for (std::size_t t = 0; t < content.tables.size(); ++t) {
        const transform_table& table = content.tables[t];
        auto& rows = records[t];
        if (rows.empty()) continue;
        std::stable_sort(rows.begin(), rows.end(), [&](const record& a, const record& b) {
            for (std::size_t i = 0; i < table.columns.size() && table.columns[i].is_key(); ++i)
                if (a.stored[i] != b.stored[i]) return a.stored[i] < b.stored[i];
            return false;
        });

        std::vector<std::uint8_t> data;
        for (const auto& r : rows) {
            put(data, r.mask, 2);
            for (std::size_t i = 0; i < table.columns.size(); ++i) {
                if (!r.present[i]) continue;
                const column& c = table.columns[i];
                put(data, r.stored[i], c.width(width));
                const transform_cell& cell = r.operation->cells[i];
                if (c.cell_kind() == column::kind::binary && cell.type != transform_cell::kind::null)
                    binaries.push_back({stored_stream_name(cell.stream, false, table.name),
                                        std::vector<std::uint8_t>(cell.bytes.begin(), cell.bytes.end())});
            }
        }
        streams.push_back({stored_stream_name(table.name, true, table.name), std::move(data)});
    }

    string_pool::streams saved = pool.encode();
    streams.insert(streams.begin(), {encode_stream_name(u"_StringData", true), std::move(saved.data)});
    streams.insert(streams.begin(), {encode_stream_name(u"_StringPool", true), std::move(saved.pool)});
    for (auto& b : binaries) streams.push_back(std::move(b));
    return streams;
}

}  // namespace msi
