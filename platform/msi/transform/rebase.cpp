#include "msi/transform/rebase.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "msi/transform/apply.h"
#include "msi/transform/generator.h"
#include "msi/transform/reader.h"
#include "msi/transform/summary.h"
#include "msi/transform/transform_file.h"
#include "msi/transform/validation.h"
#include "system/text_conversion.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <unistd.h>

namespace msi {
namespace {

using row_key = std::vector<std::u16string>;  // key values, each tagged by its kind
using item = rebase_item;

rebase_value read_value(package_database& db, const table& t, std::size_t row, std::size_t col) {
    rebase_value v;
    const cell_value c = db.cell(t, row, col);
    switch (c.type) {
    case cell_value::kind::null: break;
    case cell_value::kind::integer:
        v.type = rebase_value::kind::integer;
        v.integer = c.integer;
        break;
    case cell_value::kind::string:
        v.type = rebase_value::kind::string;
        v.text = db.cell_text(t, row, col);
        break;
    case cell_value::kind::binary: {
        v.type = rebase_value::kind::binary;
        const std::u16string name = encode_stream_name(db.binary_stream_name(t, row), false);
        if (db.storage().has_stream(name)) v.data = db.storage().read_stream(name);
        break;
    }
    }
    return v;
}

std::u16string plain_text(const rebase_value& v) {
    if (v.type == rebase_value::kind::integer) return sys::utf8_to_utf16(std::to_string(v.integer));
    return v.text;
}

// A table of one database with its rows found by key values.
class keyed_rows {
public:
    keyed_rows(package_database& db, table& t) : db_(db), t_(t) {
        for (std::size_t c = 0; c < t.columns().size(); ++c)
            if (t.columns()[c].is_key()) keys_.push_back(c);
        // A damaged package may hold a key twice: the first row counts.
        for (std::size_t row = 0; row < t.row_count(); ++row) rows_.emplace(key(row), row);
    }

    package_database& db() { return db_; }
    table& get() { return t_; }
    row_key key(std::size_t row) const {
        row_key k;
        for (std::size_t c : keys_) {
            const rebase_value v = read_value(db_, t_, row, c);
            k.push_back(std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(v.type))) + plain_text(v));
        }
        return k;
    }
    std::vector<std::u16string> key_text(std::size_t row) const {
        std::vector<std::u16string> text;
        for (std::size_t c : keys_) text.push_back(plain_text(read_value(db_, t_, row, c)));
        return text;
    }
    std::optional<std::size_t> find(const row_key& k) const {
        auto it = rows_.find(k);
        if (it == rows_.end()) return std::nullopt;
        return it->second;
    }
    rebase_value value(std::size_t row, std::u16string_view column) const {
        const int c = t_.column_index(column);
        return c < 0 ? rebase_value{} : read_value(db_, t_, row, static_cast<std::size_t>(c));
    }

private:
    package_database& db_;
    table& t_;
    std::vector<std::size_t> keys_;
    std::map<row_key, std::size_t> rows_;
};

bool same_key_columns(const table& a, const table& b) {
    std::vector<std::pair<std::u16string, column::kind>> ka, kb;
    for (const auto& c : a.columns())
        if (c.is_key()) ka.emplace_back(c.name, c.cell_kind());
    for (const auto& c : b.columns())
        if (c.is_key()) kb.emplace_back(c.name, c.cell_kind());
    return ka == kb;
}

// Removes the temporary transform the carried changes are applied from.
struct temporary_file {
    std::filesystem::path path;
    ~temporary_file() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove(path, ignored);
    }
};

// A change the transform makes, and the key of its row.
struct found_change {
    rebase_item found;
    row_key key;
};

class rebaser {
public:
    rebaser(const std::filesystem::path& old_package, const std::filesystem::path& transform,
            const std::filesystem::path& new_package)
        : mst_(transform), identity_(read_transform_identity(mst_.summary())), new_path_(new_package) {
        before_ = package_database::open(old_package, true);
        // The installer would not apply it to a package its checks refuse.
        const auto misfits = validate_transform(*before_, identity_, identity_.validation);
        if (!misfits.empty())
            throw transform_misfit_error("The transform '" + transform.string() + "' was not made for '" +
                                         old_package.string() + "': " + misfits.front());
        after_ = package_database::open(old_package, false);
        apply_transform(*after_, transform, identity_.error_conditions);
        target_ = package_database::open(new_package, true);
        code_page_ = target_->code_page();
    }

    rebase_result run() {
        compare_code_page();
        // By table name, so that the report's order does not hang on how
        // the packages were built.
        std::set<std::u16string> names;
        for (const auto& name : after_->table_names()) names.insert(name);
        for (const auto& name : before_->table_names()) names.insert(name);
        for (const auto& name : names) {
            if (!after_->has_table(name))
                dropped_table(name);
            else if (!before_->has_table(name))
                added_table(name);
            else if (mst_.has_records(name) ||
                     after_->get_table(name).columns().size() != before_->get_table(name).columns().size())
                changed_table(name);
        }

        rebase_result result;
        result.items = std::move(items_);
        if (tables_.operations.empty() && columns_.operations.empty() && rows_.empty() &&
            code_page_ == target_->code_page())
            return result;
        carry(result);
        return result;
    }

private:
    void report(item i) { items_.push_back(std::move(i)); }

    static item dropped(item i, std::string reason) {
        i.result = item::outcome::dropped;
        i.reason = std::move(reason);
        return i;
    }

    void compare_code_page() {
        const int old_cp = before_->code_page(), ours = after_->code_page(), theirs = target_->code_page();
        if (ours == old_cp) return;
        item i;
        i.what = item::change::code_page;
        i.old_code_page = old_cp;
        i.new_code_page = theirs;
        i.transform_code_page = ours;
        i.result = theirs == old_cp || theirs == ours ? item::outcome::carried : item::outcome::carried_over_change;
        code_page_ = ours;
        report(std::move(i));
    }

    // ---- the changed database's cells as the carried transform holds them

    std::u16string stream_name(const std::u16string& table_name, const std::vector<std::u16string>& key) const {
        std::u16string name = table_name;
        for (const auto& k : key) name += u'.' + k;
        return name;
    }

    transform_cell cell_of(const rebase_value& v, const std::u16string& table_name,
                           const std::vector<std::u16string>& key) const {
        transform_cell c;
        switch (v.type) {
        case rebase_value::kind::null: break;
        case rebase_value::kind::integer:
            c.type = transform_cell::kind::integer;
            c.integer = v.integer;
            break;
        case rebase_value::kind::string:
            c.type = transform_cell::kind::string;
            c.bytes = encode_code_page(v.text, code_page_);
            break;
        case rebase_value::kind::binary:
            c.type = transform_cell::kind::binary;
            c.bytes.assign(v.data.begin(), v.data.end());
            c.stream = stream_name(table_name, key);
            break;
        }
        return c;
    }

    transform_table& rows_of(const std::u16string& name, const std::vector<column>& columns) {
        auto it = rows_.find(name);
        if (it == rows_.end()) it = rows_.emplace(name, transform_table{name, columns, {}}).first;
        return it->second;
    }

    void declare_column(const std::u16string& table_name, const column& c, std::optional<std::int32_t> number) {
        transform_operation op;
        op.cells.push_back(cell_of({rebase_value::kind::string, 0, table_name, {}}, {}, {}));
        if (number)
            op.cells.push_back(cell_of({rebase_value::kind::integer, *number, {}, {}}, {}, {}));
        else
            op.cells.emplace_back();
        op.cells.push_back(cell_of({rebase_value::kind::string, 0, c.name, {}}, {}, {}));
        op.cells.push_back(cell_of({rebase_value::kind::integer, c.type, {}, {}}, {}, {}));
        columns_.operations.push_back(std::move(op));
    }

    void table_record(const std::u16string& name, transform_operation::kind kind) {
        transform_operation op;
        op.type = kind;
        op.cells.push_back(cell_of({rebase_value::kind::string, 0, name, {}}, {}, {}));
        tables_.operations.push_back(std::move(op));
    }

    // ---- tables

    void added_table(const std::u16string& name) {
        table& a = after_->get_table(name);
        item i;
        i.what = item::change::add_table;
        i.table = name;
        i.rows = a.row_count();
        if (!target_->has_table(name)) {
            table_record(name, transform_operation::kind::add);
            for (const auto& c : a.columns()) declare_column(name, c, std::nullopt);
            keyed_rows ours(*after_, a);
            transform_table& out = rows_of(name, a.columns());
            for (std::size_t row = 0; row < a.row_count(); ++row) {
                transform_operation op;
                const auto key = ours.key_text(row);
                for (std::size_t c = 0; c < a.columns().size(); ++c)
                    op.cells.push_back(cell_of(read_value(*after_, a, row, c), name, key));
                out.operations.push_back(std::move(op));
            }
            return report(std::move(i));
        }
        table& n = target_->get_table(name);
        if (n.columns().size() != a.columns().size() || !same_columns(n, a, a.columns().size()) || a.key_count() == 0)
            return report(dropped(std::move(i), "the new package has a table of that name with other columns"));
        // The new package added the same table: its rows are merged with ours.
        i.result = item::outcome::conflicting_add;
        report(std::move(i));
        keyed_rows ours(*after_, a), theirs(*target_, n);
        for (std::size_t row = 0; row < a.row_count(); ++row) added_row(ours, row, theirs, n.columns());
    }

    static bool same_columns(const table& a, const table& b, std::size_t count) {
        for (std::size_t c = 0; c < count; ++c)
            if (a.columns()[c].name != b.columns()[c].name || a.columns()[c].type != b.columns()[c].type) return false;
        return true;
    }

    void dropped_table(const std::u16string& name) {
        item i;
        i.what = item::change::drop_table;
        i.table = name;
        if (!target_->has_table(name)) return report(dropped(std::move(i), "the table is gone from the new package"));
        table_record(name, transform_operation::kind::remove);
        report(std::move(i));
    }

    void changed_table(const std::u16string& name) {
        table& b = before_->get_table(name);
        table& a = after_->get_table(name);
        keyed_rows old_rows(*before_, b), ours(*after_, a);
        std::vector<found_change> changes = row_changes(old_rows, ours);
        const bool gone = !target_->has_table(name);
        if (gone || a.key_count() == 0 || !same_key_columns(a, target_->get_table(name))) {
            const std::string reason = gone                 ? "the table is gone from the new package"
                                       : a.key_count() == 0 ? "the table has no primary key to find its rows by"
                                                            : "the table's primary key differs in the new package";
            for (std::size_t c = b.columns().size(); c < a.columns().size(); ++c)
                report(dropped(column_item(name, a.columns()[c].name), reason));
            for (auto& [i, key] : changes) report(dropped(std::move(i), reason));
            return;
        }
        table& n = target_->get_table(name);
        // The new package's columns, then those the transform appends that it lacks.
        std::vector<column> shape = n.columns();
        for (std::size_t c = b.columns().size(); c < a.columns().size(); ++c) {
            const column& added = a.columns()[c];
            item i = column_item(name, added.name);
            const int there = n.column_index(added.name);
            if (there >= 0) {
                if (n.columns()[static_cast<std::size_t>(there)].type != added.type)
                    report(dropped(std::move(i), "the new package has a column of that name of another type"));
                else
                    report(std::move(i));
                continue;
            }
            shape.push_back(added);
            declare_column(name, added, static_cast<std::int32_t>(shape.size()));
            report(std::move(i));
        }
        keyed_rows theirs(*target_, n);
        for (auto& [i, key] : changes) {
            if (i.what == item::change::add_row) {
                added_row(ours, *ours.find(key), theirs, shape);
            } else if (i.what == item::change::remove_row) {
                const auto row = theirs.find(key);
                if (!row) {
                    report(dropped(std::move(i), "the row is gone from the new package"));
                    continue;
                }
                transform_operation op;
                op.type = transform_operation::kind::remove;
                for (std::size_t c = 0; c < shape.size(); ++c)
                    op.cells.push_back(shape[c].is_key() ? cell_of(theirs.value(*row, shape[c].name), name, i.key)
                                                         : transform_cell{});
                rows_of(name, shape).operations.push_back(std::move(op));
                report(std::move(i));
            } else {
                changed_cell(std::move(i), a, theirs.find(key), theirs, shape);
            }
        }
    }

    static item column_item(const std::u16string& table_name, const std::u16string& column_name) {
        item i;
        i.what = item::change::add_column;
        i.table = table_name;
        i.column = column_name;
        return i;
    }

    // Rows added and removed, and one item per changed cell, from the old
    // database to the transformed one.
    std::vector<found_change> row_changes(keyed_rows& old_rows, keyed_rows& ours) {
        table& b = old_rows.get();
        table& a = ours.get();
        std::vector<found_change> changes;
        if (a.key_count() == 0) {
            bool same = a.row_count() == b.row_count() && a.columns().size() == b.columns().size();
            for (std::size_t row = 0; same && row < a.row_count(); ++row)
                for (std::size_t c = 0; same && c < a.columns().size(); ++c)
                    same = read_value(*after_, a, row, c) == read_value(*before_, b, row, c);
            if (!same) {
                item i;
                i.table = a.name();
                changes.push_back({std::move(i), {}});
            }
            return changes;
        }
        std::vector<bool> kept(b.row_count(), false);
        for (std::size_t row = 0; row < a.row_count(); ++row) {
            item i;
            i.table = a.name();
            i.key = ours.key_text(row);
            row_key key = ours.key(row);
            const auto old_row = old_rows.find(key);
            if (!old_row) {
                i.what = item::change::add_row;
                changes.push_back({std::move(i), std::move(key)});
                continue;
            }
            kept[*old_row] = true;
            for (std::size_t c = 0; c < a.columns().size(); ++c) {
                if (a.columns()[c].is_key()) continue;
                rebase_value now = read_value(*after_, a, row, c);
                std::optional<rebase_value> was;
                if (c < b.columns().size()) was = read_value(*before_, b, *old_row, c);
                if (now == (was ? *was : rebase_value{})) continue;
                item cell = i;
                cell.what = item::change::change_cells;
                cell.cells.push_back({a.columns()[c].name, was, std::nullopt, std::move(now)});
                changes.push_back({std::move(cell), key});
            }
        }
        for (std::size_t row = 0; row < b.row_count(); ++row) {
            if (kept[row]) continue;
            item i;
            i.what = item::change::remove_row;
            i.table = b.name();
            i.key = old_rows.key_text(row);
            changes.push_back({std::move(i), old_rows.key(row)});
        }
        return changes;
    }

    // The update record of a row of the new package, made once and grown
    // by each carried cell.
    transform_operation& update_of(const std::u16string& name, const std::vector<column>& shape, keyed_rows& theirs,
                                   std::size_t row, const std::vector<std::u16string>& key) {
        auto [it, fresh] = updates_.try_emplace({name, key}, 0);
        transform_table& out = rows_of(name, shape);
        if (fresh) {
            transform_operation op;
            op.type = transform_operation::kind::update;
            op.changed.assign(shape.size(), false);
            for (std::size_t c = 0; c < shape.size(); ++c)
                op.cells.push_back(shape[c].is_key() ? cell_of(theirs.value(row, shape[c].name), name, key)
                                                     : transform_cell{});
            it->second = out.operations.size();
            out.operations.push_back(std::move(op));
        }
        return out.operations[it->second];
    }

    // Where a column of the transformed table lands in the new package's
    // shape: the column of that name holding the same kind of value, or
    // shape.size() when there is none.
    static std::size_t place_in(const std::vector<column>& shape, const column& ours) {
        for (std::size_t c = 0; c < shape.size(); ++c)
            if (shape[c].name == ours.name) return shape[c].cell_kind() == ours.cell_kind() ? c : shape.size();
        return shape.size();
    }
    // The transformed table's column that lands on `theirs`, or -1.
    static int source_of(const table& a, const column& theirs) {
        const int at = a.column_index(theirs.name);
        return at >= 0 && a.columns()[static_cast<std::size_t>(at)].cell_kind() == theirs.cell_kind() ? at : -1;
    }
    static constexpr const char* column_gone = "the column is gone from the new package or holds other values there";

    void changed_cell(item i, const table& a, std::optional<std::size_t> row, keyed_rows& theirs,
                      const std::vector<column>& shape) {
        if (!row) return report(dropped(std::move(i), "the row is gone from the new package"));
        rebase_cell& cell = i.cells.front();
        const std::size_t c = place_in(shape, a.columns()[static_cast<std::size_t>(a.column_index(cell.column))]);
        if (c == shape.size()) return report(dropped(std::move(i), column_gone));
        // A column the carried transform appends is NULL in the new package.
        const rebase_value vendor = theirs.value(*row, cell.column);
        cell.new_value = vendor;
        const rebase_value old = cell.old_value.value_or(rebase_value{});
        if (vendor != old && vendor != cell.transform_value) i.result = item::outcome::carried_over_change;
        if (vendor != cell.transform_value) {
            transform_operation& op = update_of(i.table, shape, theirs, *row, i.key);
            op.changed[c] = true;
            op.cells[c] = cell_of(cell.transform_value, i.table, i.key);
        }
        report(std::move(i));
    }

    // A row the transform adds: added to the new package, or, where it has a
    // row with that key, that row's cells made the transform's.
    void added_row(keyed_rows& ours, std::size_t row, keyed_rows& theirs, const std::vector<column>& shape) {
        table& a = ours.get();
        const std::u16string& name = a.name();
        item i;
        i.what = item::change::add_row;
        i.table = name;
        i.key = ours.key_text(row);
        // Cells of columns the new package lost: one dropped item each.
        for (std::size_t c = 0; c < a.columns().size(); ++c) {
            if (place_in(shape, a.columns()[c]) != shape.size()) continue;
            rebase_value v = read_value(*after_, a, row, c);
            if (v.type == rebase_value::kind::null) continue;
            item lost = i;
            lost.what = item::change::change_cells;
            lost.cells.push_back({a.columns()[c].name, std::nullopt, std::nullopt, std::move(v)});
            report(dropped(std::move(lost), column_gone));
        }
        const auto there = theirs.find(ours.key(row));
        if (!there) {
            transform_operation op;
            for (const auto& c : shape) {
                const int at = source_of(a, c);
                op.cells.push_back(
                    at < 0 ? transform_cell{}
                           : cell_of(read_value(*after_, a, row, static_cast<std::size_t>(at)), name, i.key));
            }
            rows_of(name, shape).operations.push_back(std::move(op));
            return report(std::move(i));
        }
        for (std::size_t c = 0; c < shape.size(); ++c) {
            const int at = source_of(a, shape[c]);
            if (at < 0 || shape[c].is_key()) continue;
            rebase_value mine = read_value(*after_, a, row, static_cast<std::size_t>(at));
            rebase_value vendor = theirs.value(*there, shape[c].name);
            if (mine == vendor) continue;
            transform_operation& op = update_of(name, shape, theirs, *there, i.key);
            op.changed[c] = true;
            op.cells[c] = cell_of(mine, name, i.key);
            i.cells.push_back({shape[c].name, std::nullopt, std::move(vendor), std::move(mine)});
        }
        if (!i.cells.empty()) i.result = item::outcome::conflicting_add;
        report(std::move(i));
    }

    // ---- the carried changes, applied to the new package and compared with it

    void carry(rebase_result& result) {
        transform_content carried;
        carried.code_page = code_page_;
        carried.tables.push_back(std::move(tables_));
        carried.tables.push_back(std::move(columns_));
        for (auto& [name, t] : rows_) carried.tables.push_back(std::move(t));

        temporary_file file;
        std::string pattern = (std::filesystem::temp_directory_path() / "rebase-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0)
            throw automation_error(hresult_from_win32(ERROR_CREATE_FAILED),
                                   "Cannot create a temporary file for the carried changes.");
        ::close(fd);
        file.path = pattern;
        write_transform_file(carried, nullptr, file.path);

        auto changed = package_database::open(new_path_, false);
        const bool code_page_carried = code_page_ != target_->code_page();
        try {
            apply_transform(*changed, file.path, code_page_carried ? transform_error_change_code_page : 0);
        } catch (const automation_error& e) {
            throw automation_error(e.code(),
                                   "The carried changes do not fit the new package: " + std::string(e.what()));
        }
        result.content = compare_databases(*changed, *target_);
        if (result.content)
            result.summary = transform_summary(*changed, *target_, identity_.error_conditions, identity_.validation);
    }

    transform_reader mst_;
    transform_identity identity_;
    std::filesystem::path new_path_;
    std::shared_ptr<package_database> before_, after_, target_;
    int code_page_ = 0;  // of the carried transform
    std::vector<item> items_;
    transform_table tables_{u"_Tables", catalog_tables_columns(), {}};
    transform_table columns_{u"_Columns", catalog_columns_columns(), {}};
    std::map<std::u16string, transform_table> rows_;
    std::map<std::pair<std::u16string, std::vector<std::u16string>>, std::size_t> updates_;
};

}  // namespace

rebase_result rebase_transform(const std::filesystem::path& old_package, const std::filesystem::path& transform,
                               const std::filesystem::path& new_package) {
    return rebaser(old_package, transform, new_package).run();
}

}  // namespace msi
