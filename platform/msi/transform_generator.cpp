#include "msi/transform_generator.h"

#include "msi/automation_error.h"
#include "msi/code_page.h"
#include "msi/database.h"
#include "msi/stream_name.h"

#include <algorithm>
#include <map>
#include <set>

namespace msi {
namespace {

[[noreturn]] void inexpressible(const std::string& what) {
    throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE),
                           what + " A transform cannot express this difference.");
}

std::string in_quotes(std::u16string_view name) { return "\"" + to_utf8(name) + "\""; }

// One database as the comparison sees it: strings are compared by their
// stored bytes when both databases share a code page, by their text otherwise.
class side {
public:
    side(database& db, int pool_code_page, bool compare_text)
        : db_(db), pool_code_page_(pool_code_page), compare_text_(compare_text) {}

    database& db() { return db_; }

    // A value to compare cells with: kind tag, then the integer or the string.
    std::string comparable(const table& t, std::size_t row, std::size_t col) {
        cell_value v = db_.cell(t, row, col);
        switch (v.type) {
        case cell_value::kind::null: return std::string("n");
        case cell_value::kind::integer: return "i" + std::to_string(v.integer);
        case cell_value::kind::string:
            return "s" + (compare_text_ ? to_utf8(db_.cell_text(t, row, col)) : db_.cell_bytes(t, row, col));
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
        case cell_value::kind::null:
            break;
        case cell_value::kind::integer:
            c.type = transform_cell::kind::integer;
            c.integer = v.integer;
            break;
        case cell_value::kind::string:
            c.type = transform_cell::kind::string;
            c.bytes = db_.code_page() == pool_code_page_ ? db_.cell_bytes(t, row, col)
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
    database& db_;
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
        if (now[i].is_key())
            inexpressible("The key column " + in_quotes(now[i].name) + " was added" + where + ".");
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

// A table without primary key has no rows a record could name: it may only
// stay as it was.
void check_unchanged(side& now, table& t, side& before, table& r) {
    bool same = t.row_count() == r.row_count() && t.columns().size() == r.columns().size();
    for (std::size_t row = 0; same && row < t.row_count(); ++row)
        for (std::size_t c = 0; same && c < t.columns().size(); ++c) same = same_cell(now, t, row, before, r, row, c);
    if (!same) inexpressible("Table " + in_quotes(t.name()) + " has no primary key and its rows changed.");
}

void compare_rows(side& now, table& t, side& before, table& r, transform_table& out) {
    if (t.key_count() == 0) return check_unchanged(now, t, before, r);
    auto ref_rows = before.rows_by_key(r);
    std::set<std::vector<std::string>> seen;
    const std::size_t shared_columns = r.columns().size();
    for (std::size_t row = 0; row < t.row_count(); ++row) {
        auto k = now.key(t, row);
        if (!seen.insert(k).second)
            inexpressible("Table " + in_quotes(t.name()) + " holds two rows with the same primary key.");
        auto found = ref_rows.find(k);
        if (found == ref_rows.end()) {
            out.operations.push_back(now.whole_row(t, row, transform_operation::kind::add));
            continue;
        }
        std::vector<bool> changed(t.columns().size(), false);
        bool any = false;
        for (std::size_t c = 0; c < t.columns().size(); ++c) {
            if (t.columns()[c].is_key()) continue;
            bool same = c < shared_columns ? same_cell(now, t, row, before, r, found->second, c)
                                           : now.comparable(t, row, c) == "n";
            if (!same) changed[c] = any = true;
        }
        if (any) {
            transform_operation op = now.whole_row(t, row, transform_operation::kind::update);
            op.changed = std::move(changed);
            out.operations.push_back(std::move(op));
        }
        ref_rows.erase(found);
    }
    for (const auto& [k, ref_row] : ref_rows)
        out.operations.push_back(before.whole_row(r, ref_row, transform_operation::kind::remove));
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

std::optional<transform_content> compare_databases(database& target, database& reference) {
    const bool code_page_changed = target.code_page() != reference.code_page();
    transform_content content;
    content.code_page = code_page_changed ? target.code_page() : reference.code_page();
    side now(target, content.code_page, code_page_changed);
    side before(reference, content.code_page, code_page_changed);

    transform_table tables{u"_Tables", catalog_tables_columns(), {}};
    transform_table columns{u"_Columns", catalog_columns_columns(), {}};
    std::vector<transform_table> changed_tables;

    auto target_names = target.table_names();
    auto reference_names = reference.table_names();
    std::set<std::u16string> in_reference(reference_names.begin(), reference_names.end());
    std::set<std::u16string> in_target(target_names.begin(), target_names.end());

    for (const auto& name : target_names) {
        table& t = target.get_table(name);
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
            table& r = reference.get_table(name);
            std::size_t appended = check_schema(t, r);
            declare_columns(t, t.columns().size() - appended, false, content.code_page, columns);
            compare_rows(now, t, before, r, out);
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
