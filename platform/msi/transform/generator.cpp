#include "msi/transform/generator.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "msi/db/string_id_map.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace msi {
namespace {

[[noreturn]] void inexpressible(const std::string& what) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE),
                           what + " A transform cannot express this difference.");
}

std::string in_quotes(std::u16string_view name) { return "\"" + sys::utf16_to_utf8(name) + "\""; }

// One database as the comparison sees it: strings are compared by their
// stored bytes when both databases share a code page, by their text otherwise.
class side {
public:
    side(package_database& db, int pool_code_page, bool compare_text)
        : db_(db), pool_code_page_(pool_code_page), compare_text_(compare_text) {}

    package_database& db() { return db_; }

    // A value to compare cells with: kind tag, then the integer or the string.
    std::string comparable(const table& t, std::size_t row, std::size_t col) {
        cell_value v = db_.cell(t, row, col);
        switch (v.type) {
        case cell_value::kind::null: return std::string("n");
        case cell_value::kind::integer: return "i" + std::to_string(v.integer);
        case cell_value::kind::string:
            return "s" + (compare_text_ ? sys::utf16_to_utf8(db_.cell_text(t, row, col)) : db_.cell_bytes(t, row, col));
        case cell_value::kind::binary: return std::string("b");
        }
        return {};
    }

    std::vector<std::uint8_t> binary_data(const table& t, std::size_t row) {
        std::u16string name = encode_stream_name(db_.binary_stream_name(t, row), false);
        if (!db_.storage().has_stream(name)) return {};
        return db_.storage().read_stream(name);
    }

    std::uint64_t binary_size(const table& t, std::size_t row) {
        std::u16string name = encode_stream_name(db_.binary_stream_name(t, row), false);
        return db_.storage().has_stream(name) ? db_.storage().stream_size(name) : 0;
    }

    // The cell as the transform stores it.
    transform_cell transform_value(const table& t, std::size_t row, std::size_t col) {
        transform_cell c;
        cell_value v = db_.cell(t, row, col);
        switch (v.type) {
        case cell_value::kind::null: break;
        case cell_value::kind::integer:
            c.type = transform_cell::kind::integer;
            c.integer = v.integer;
            break;
        case cell_value::kind::string:
            c.type = transform_cell::kind::string;
            c.bytes = db_.code_page() == pool_code_page_
                          ? db_.cell_bytes(t, row, col)
                          : encode_code_page(db_.cell_text(t, row, col), pool_code_page_);
            break;
        case cell_value::kind::binary: {
            c.type = transform_cell::kind::binary;
            auto data = binary_data(t, row);
            c.bytes.assign(data.begin(), data.end());
            c.stream = db_.binary_stream_name(t, row);
            break;
        }
        }
        return c;
    }

    transform_operation whole_row(const table& t, std::size_t row, transform_operation::kind kind) {
        transform_operation op;
        op.type = kind;
        // A removal names its row by the key cells alone.
        for (std::size_t c = 0; c < t.columns().size(); ++c)
            op.cells.push_back(kind != transform_operation::kind::remove || t.columns()[c].is_key()
                                   ? transform_value(t, row, c)
                                   : transform_cell{});
        return op;
    }

    // Rows by their key values. Raises for two rows with one key.
    std::map<std::vector<std::string>, std::size_t> rows_by_key(const table& t) {
        std::map<std::vector<std::string>, std::size_t> rows;
        for (std::size_t r = 0; r < t.row_count(); ++r)
            if (!rows.emplace(key(t, r), r).second)
                inexpressible("Table " + in_quotes(t.name()) + " holds two rows with the same primary key.");
        return rows;
    }

    std::vector<std::string> key(const table& t, std::size_t row) {
        std::vector<std::string> k;
        for (std::size_t c = 0; c < t.columns().size(); ++c)
            if (t.columns()[c].is_key()) k.push_back(comparable(t, row, c));
        return k;
    }

private:
    package_database& db_;
    int pool_code_page_;
    bool compare_text_;
};

transform_cell string_cell(std::u16string_view text, int code_page) {
    transform_cell c;
    c.type = transform_cell::kind::string;
    c.bytes = encode_code_page(text, code_page);
    return c;
}

transform_cell integer_cell(std::int32_t value) {
    transform_cell c;
    c.type = transform_cell::kind::integer;
    c.integer = value;
    return c;
}

// The columns a transform can carry from the reference's schema to the
// target's: the same columns, then non-key columns appended. Returns how
// many columns were appended.
// Temporary rows and columns are never part of a transform, nor tables
// whose every column is temporary.
std::vector<std::u16string> stored_table_names(package_database& db) {
    std::vector<std::u16string> names = db.table_names();
    std::erase_if(names, [&](const std::u16string& name) {
        const auto& columns = db.get_table(name).columns();
        return std::all_of(columns.begin(), columns.end(), [](const column& c) { return c.is_temporary(); });
    });
    return names;
}

// The table itself, or its stored part (made in `holder`) when it has temporary rows or columns.
table& stored_part(table& live, std::optional<table>& holder) {
    if (!live.has_temporary_rows() && !live.has_temporary_columns()) return live;
    return holder.emplace(live.stored_part());
}

std::size_t check_schema(const table& target, const table& reference) {
    const auto& now = target.columns();
    const auto& before = reference.columns();
    const std::string where = " of table " + in_quotes(target.name());
    if (now.size() < before.size())
        inexpressible("The column " + in_quotes(before[now.size()].name) + where + " was removed.");
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (now[i].name != before[i].name)
            inexpressible("Column " + std::to_string(i + 1) + where + " is " + in_quotes(before[i].name) +
                          " in the reference database and " + in_quotes(now[i].name) + " in this one.");
        if (now[i].is_key() != before[i].is_key())
            inexpressible("The primary key" + where + " changed at column " + in_quotes(now[i].name) + ".");
        if (now[i].type != before[i].type)
            inexpressible("The type of column " + in_quotes(now[i].name) + where + " changed.");
    }
    for (std::size_t i = before.size(); i < now.size(); ++i)
        if (now[i].is_key()) inexpressible("The key column " + in_quotes(now[i].name) + " was added" + where + ".");
    return now.size() - before.size();
}

bool same_cell(side& now, const table& t, std::size_t row, side& before, const table& r, std::size_t ref_row,
               std::size_t col) {
    std::string a = now.comparable(t, row, col);
    std::string b = before.comparable(r, ref_row, col);
    if (a != b) return false;
    if (a != "b") return true;
    // Binary data: sizes first, so unequal streams are rarely read whole.
    if (now.binary_size(t, row) != before.binary_size(r, ref_row)) return false;
    return now.binary_data(t, row) == before.binary_data(r, ref_row);
}

// Cell equality for two ways of comparing: by text or bytes through `side`,
// or by stored values with string ids translated (same code page only).
class cell_comparison {
public:
    cell_comparison(side& now, const table& t, side& before, const table& r, string_id_map* ids)
        : now_(now), t_(t), before_(before), r_(r), ids_(ids) {}

    bool same(std::size_t row, std::size_t ref_row, std::size_t col) {
        if (!ids_) return same_cell(now_, t_, row, before_, r_, ref_row, col);
        const std::uint32_t a = t_.cell(row, col), b = r_.cell(ref_row, col);
        switch (t_.columns()[col].cell_kind()) {
        case column::kind::string: return (*ids_)(a) == b;
        case column::kind::binary:
            return (a == null_cell) == (b == null_cell) &&
                   (a == null_cell || same_cell(now_, t_, row, before_, r_, ref_row, col));
        default: return a == b;
        }
    }

private:
    side& now_;
    const table& t_;
    side& before_;
    const table& r_;
    string_id_map* ids_;
};

// A table without primary key has no rows a record could name: it may only
// stay as it was.
void check_unchanged(table& t, table& r, cell_comparison& cells) {
    bool same = t.row_count() == r.row_count() && t.columns().size() == r.columns().size();
    for (std::size_t row = 0; same && row < t.row_count(); ++row)
        for (std::size_t c = 0; same && c < t.columns().size(); ++c) same = cells.same(row, row, c);
    if (!same) inexpressible("Table " + in_quotes(t.name()) + " has no primary key and its rows changed.");
}

[[noreturn]] void duplicate_key(const table& t) {
    inexpressible("Table " + in_quotes(t.name()) + " holds two rows with the same primary key.");
}

// The update of a matched row, if any of its non-key cells changed.
void compare_matched_row(side& now, table& t, std::size_t row, std::size_t ref_row, std::size_t shared_columns,
                         cell_comparison& cells, transform_table& out) {
    const std::size_t n = t.columns().size();
    auto differs = [&](std::size_t c) {
        if (t.columns()[c].is_key()) return false;
        return c < shared_columns ? !cells.same(row, ref_row, c) : t.cell(row, c) != null_cell;
    };
    // Most rows are unchanged: find the first difference before allocating.
    std::size_t first = 0;
    while (first < n && !differs(first)) ++first;
    if (first == n) return;
    std::vector<bool> changed(n, false);
    changed[first] = true;
    for (std::size_t c = first + 1; c < n; ++c) changed[c] = differs(c);
    transform_operation op = now.whole_row(t, row, transform_operation::kind::update);
    op.changed = std::move(changed);
    out.operations.push_back(std::move(op));
}

// The removal of a reference row, with one cell per column of the table as
// it is now: columns appended since read as NULL (only the keys are stored).
transform_operation removed_row(side& before, const table& r, std::size_t ref_row, const table& t) {
    transform_operation op = before.whole_row(r, ref_row, transform_operation::kind::remove);
    op.cells.resize(t.columns().size());
    return op;
}

// Rows matched by the text or bytes of their keys.
void compare_rows_by_value(side& now, table& t, side& before, table& r, transform_table& out) {
    cell_comparison cells(now, t, before, r, nullptr);
    if (t.key_count() == 0) return check_unchanged(t, r, cells);
    auto ref_rows = before.rows_by_key(r);
    std::set<std::vector<std::string>> seen;
    for (std::size_t row = 0; row < t.row_count(); ++row) {
        auto k = now.key(t, row);
        if (!seen.insert(k).second) duplicate_key(t);
        auto found = ref_rows.find(k);
        if (found == ref_rows.end()) {
            out.operations.push_back(now.whole_row(t, row, transform_operation::kind::add));
            continue;
        }
        compare_matched_row(now, t, row, found->second, r.columns().size(), cells, out);
        ref_rows.erase(found);
    }
    for (const auto& [k, ref_row] : ref_rows) out.operations.push_back(removed_row(before, r, ref_row, t));
}

bool same_key(const table& t, std::size_t a, const table& u, std::size_t b) {
    for (std::size_t c = 0; c < t.columns().size(); ++c)
        if (t.columns()[c].is_key() && t.cell(a, c) != u.cell(b, c)) return false;
    return true;
}

// Rows matched by stored key values, the target's string ids translated into
// the reference's pool: both tables are sorted by stored key, so each lookup
// is a binary search over integers, and rows with equal keys sit side by side.
void compare_rows_by_id(side& now, table& t, side& before, table& r, string_id_map& ids, transform_table& out) {
    cell_comparison cells(now, t, before, r, &ids);
    if (t.key_count() == 0) return check_unchanged(t, r, cells);
    for (std::size_t row = 1; row < r.row_count(); ++row)
        if (same_key(r, row - 1, r, row)) duplicate_key(r);
    std::vector<bool> matched(r.row_count(), false);
    table::row key(r.columns().size(), null_cell);
    for (std::size_t row = 0; row < t.row_count(); ++row) {
        if (row > 0 && same_key(t, row - 1, t, row)) duplicate_key(t);
        bool known = true;
        for (std::size_t c = 0; c < t.columns().size(); ++c) {
            if (!t.columns()[c].is_key()) continue;
            std::uint32_t v = t.cell(row, c);
            if (t.columns()[c].cell_kind() == column::kind::string) v = ids(v);
            if (v == string_id_map::absent) known = false;
            key[c] = v;
        }
        const std::size_t ref_row = known ? r.find(key) : table::npos;
        if (ref_row == table::npos) {
            out.operations.push_back(now.whole_row(t, row, transform_operation::kind::add));
            continue;
        }
        matched[ref_row] = true;
        compare_matched_row(now, t, row, ref_row, r.columns().size(), cells, out);
    }
    for (std::size_t ref_row = 0; ref_row < r.row_count(); ++ref_row)
        if (!matched[ref_row]) out.operations.push_back(removed_row(before, r, ref_row, t));
}

// Catalog records that declare columns `first`.. of `t`; a new table's
// columns carry no number, as readers number them by their order.
void declare_columns(const table& t, std::size_t first, bool new_table, int code_page, transform_table& columns) {
    for (std::size_t i = first; i < t.columns().size(); ++i) {
        transform_operation op;
        op.type = transform_operation::kind::add;
        op.cells.push_back(string_cell(t.name(), code_page));
        op.cells.push_back(new_table ? transform_cell{} : integer_cell(static_cast<std::int32_t>(i + 1)));
        op.cells.push_back(string_cell(t.columns()[i].name, code_page));
        op.cells.push_back(integer_cell(t.columns()[i].type));
        columns.operations.push_back(std::move(op));
    }
}

}  // namespace

std::optional<transform_content> compare_databases(package_database& target, package_database& reference) {
    const bool code_page_changed = target.code_page() != reference.code_page();
    transform_content content;
    content.code_page = code_page_changed ? target.code_page() : reference.code_page();
    side now(target, content.code_page, code_page_changed);
    side before(reference, content.code_page, code_page_changed);
    // With one code page, rows compare by stored values and translated ids.
    std::optional<string_id_map> ids;
    if (!code_page_changed) ids.emplace(target.strings(), reference.strings());

    transform_table tables{u"_Tables", catalog_tables_columns(), {}};
    transform_table columns{u"_Columns", catalog_columns_columns(), {}};
    std::vector<transform_table> changed_tables;

    auto target_names = stored_table_names(target);
    auto reference_names = stored_table_names(reference);
    std::set<std::u16string> in_reference(reference_names.begin(), reference_names.end());
    std::set<std::u16string> in_target(target_names.begin(), target_names.end());

    for (const auto& name : target_names) {
        std::optional<table> target_stored, reference_stored;
        table& t = stored_part(target.get_table(name), target_stored);
        transform_table out{name, t.columns(), {}};
        if (in_reference.count(name) == 0) {
            if (t.key_count() == 0) inexpressible("Table " + in_quotes(name) + " has no primary key.");
            transform_operation add;
            add.type = transform_operation::kind::add;
            add.cells.push_back(string_cell(name, content.code_page));
            tables.operations.push_back(std::move(add));
            declare_columns(t, 0, true, content.code_page, columns);
            for (std::size_t row = 0; row < t.row_count(); ++row)
                out.operations.push_back(now.whole_row(t, row, transform_operation::kind::add));
        } else {
            table& r = stored_part(reference.get_table(name), reference_stored);
            std::size_t appended = check_schema(t, r);
            declare_columns(t, t.columns().size() - appended, false, content.code_page, columns);
            if (ids)
                compare_rows_by_id(now, t, before, r, *ids, out);
            else
                compare_rows_by_value(now, t, before, r, out);
        }
        if (!out.operations.empty()) changed_tables.push_back(std::move(out));
    }
    for (const auto& name : reference_names) {
        if (in_target.count(name) != 0) continue;
        transform_operation drop;
        drop.type = transform_operation::kind::remove;
        drop.cells.push_back(string_cell(name, content.code_page));
        tables.operations.push_back(std::move(drop));
    }

    if (tables.operations.empty() && columns.operations.empty() && changed_tables.empty() && !code_page_changed)
        return std::nullopt;
    content.tables.push_back(std::move(tables));
    content.tables.push_back(std::move(columns));
    for (auto& t : changed_tables) content.tables.push_back(std::move(t));
    return content;
}

}  // namespace msi
