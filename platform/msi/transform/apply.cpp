#include "msi/transform/apply.h"

#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_name.h"
#include "msi/transform/reader.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace msi {

const char* transform_condition_name(int flag) {
    switch (flag) {
    case transform_error_add_existing_row: return "MSITRANSFORM_ERROR_ADDEXISTINGROW";
    case transform_error_delete_missing_row: return "MSITRANSFORM_ERROR_DELMISSINGROW";
    case transform_error_add_existing_table: return "MSITRANSFORM_ERROR_ADDEXISTINGTABLE";
    case transform_error_delete_missing_table: return "MSITRANSFORM_ERROR_DELMISSINGTABLE";
    case transform_error_update_missing_row: return "MSITRANSFORM_ERROR_UPDATEMISSINGROW";
    case transform_error_change_code_page: return "MSITRANSFORM_ERROR_CHANGECODEPAGE";
    case transform_error_view_transform: return "MSITRANSFORM_ERROR_VIEWTRANSFORM";
    default: return "";
    }
}

std::vector<std::string> transform_condition_names(int conditions) {
    std::vector<std::string> names;
    for (int bit = 0; bit < 16; ++bit)
        if (conditions >> bit & 1) {
            const char* name = transform_condition_name(1 << bit);
            names.push_back(*name ? name : "0x" + [&] {
                char hex[8];
                std::snprintf(hex, sizeof hex, "%04X", 1 << bit);
                return std::string(hex);
            }());
        }
    return names;
}

namespace {

constexpr int utf8_code_page = 65001;
// Units of a stream name a compound file directory entry holds.
constexpr std::size_t max_stream_name_units = 31;
const std::u16string tables_name = u"_Tables";
const std::u16string columns_name = u"_Columns";

std::string in_quotes(std::u16string_view text) { return "'" + sys::utf16_to_utf8(text) + "'"; }

// Stages a transform on copies of what it changes; install() puts them in
// the database's place.
class transform_stage {
public:
    transform_stage(package_database& db, const transform_reader& mst, int suppressed)
        : db_(db), mst_(mst), suppressed_(suppressed), exact_(db.counts_exact()) {}

    void run() {
        pool_ = db_.strings().copy();
        change_code_page();
        tables_ = std::make_unique<table>(db_.get_table(tables_name));
        columns_ = std::make_unique<table>(db_.get_table(columns_name));
        apply_tables();
        apply_columns();
        shape_tables();
        for (const std::u16string& name : mst_.tables())
            if (name != tables_name && name != columns_name) apply_rows(name);
        finish_code_page();
    }

    void install() {
        package_database::replacement changes;
        changes.strings = std::move(pool_);
        changes.tables_catalog = std::move(tables_);
        changes.columns_catalog = std::move(columns_);
        changes.tables = std::move(staged_);
        changes.dropped.assign(dropped_.begin(), dropped_.end());
        changes.streams = std::move(streams_);
        changes.counts_exact = exact_;
        db_.replace(std::move(changes));
    }

private:
    [[noreturn]] void cannot(const std::string& what) const {
        throw transform_misfit_error("Cannot apply the transform '" + mst_.path().string() + "': " + what);
    }

    // A condition met: passed over when suppressed, an error otherwise. The
    // words are made only for the error.
    template <typename Words>
    void condition(int flag, Words&& what) const {
        if (suppressed_ & flag) return;
        throw transform_condition_error(flag, "Cannot apply the transform '" + mst_.path().string() +
                                                  "': " + std::string(what()) + "; " + transform_condition_name(flag) +
                                                  " is not suppressed.");
    }

    // A transform in another code page: the staged pool holds UTF-8, which
    // every string can take, until the end, when it goes into the
    // transform's code page. Strings the transform lets go need not fit it.
    void change_code_page() {
        const int from = db_.code_page(), to = mst_.code_page();
        if (to == 0 || to == from) return;
        if (from != 0)
            condition(transform_error_change_code_page, [&] {
                return "its code page " + std::to_string(to) + " differs from the database's code page " +
                       std::to_string(from);
            });
        final_code_page_ = to;
        // Which strings stay in use must be known exactly: the staged pool
        // has the database's ids, so the database's cells count for it.
        pool_.set_reference_counts(db_.count_references());
        exact_ = true;
        pool_.convert_code_page(utf8_code_page);
    }

    void finish_code_page() {
        if (final_code_page_ == 0) return;
        try {
            pool_.convert_code_page(final_code_page_);
        } catch (const automation_error& e) {
            cannot("the database's strings cannot be held in the transform's code page " +
                   std::to_string(final_code_page_) + ": " + e.what());
        }
    }

    // A string of the transform as the staged pool stores it.
    std::string staged_bytes(std::uint32_t transform_id) const {
        if (final_code_page_ == 0) return std::string(mst_.strings().bytes(transform_id));
        return encode_code_page(mst_.text(transform_id), utf8_code_page);
    }

    std::optional<std::uint32_t> table_id(std::u16string_view name) const {
        auto id = pool_.find(name);
        if (!id) return std::nullopt;
        if (tables_->find(table::row{*id}) == table::npos) return std::nullopt;
        return id;
    }
    bool table_exists(std::u16string_view name) const { return table_id(name).has_value(); }

    // One cell fewer refers to a string. Unless the database's counts are
    // known to be exact, one that reaches zero stays until the commit counts
    // its cells: a stored count that is too low must not free a string other
    // cells still use.
    void release(std::uint32_t id) {
        if (id == 0 || !pool_.contains(id)) return;
        if (exact_)
            pool_.release(id);
        else
            pool_.release_keeping(id);
    }
    std::uint32_t add_string(std::uint32_t transform_id) {
        return transform_id == 0 ? 0 : pool_.add_reference_bytes(staged_bytes(transform_id));
    }

    // ---- `_Tables`

    void apply_tables() {
        if (!mst_.has_records(tables_name)) return;
        auto cursor = mst_.records(tables_name, tables_->columns());
        transform_record r;
        while (cursor.next(r)) {
            if (r.cells[0] == 0) transform_damaged(mst_.path(), "a record of _Tables names no table.");
            const std::u16string name = mst_.text(r.cells[0]);
            if (name == tables_name || name == columns_name || name.empty())
                cannot("it adds or drops the catalog table " + in_quotes(name) + ".");
            if (r.type == transform_record::kind::add) {
                if (table_exists(name)) {
                    condition(transform_error_add_existing_table,
                              [&] { return "it adds table " + in_quotes(name) + ", which the database has already"; });
                    continue;
                }
                // Its stream must have a name the storage can hold.
                if (encode_stream_name(name, true).size() > max_stream_name_units)
                    cannot("it adds table " + in_quotes(name) + ", whose name is too long for a table.");
                tables_->insert(table::row{add_string(r.cells[0])});
                added_.insert(name);
                dropped_.erase(name);
            } else if (r.type == transform_record::kind::remove) {
                if (!table_exists(name)) {
                    condition(transform_error_delete_missing_table,
                              [&] { return "it drops table " + in_quotes(name) + ", which the database lacks"; });
                    continue;
                }
                drop_table(name);
            } else {
                cannot("it changes a row of _Tables, which has nothing to change.");
            }
        }
    }

    void drop_table(const std::u16string& name) {
        const std::uint32_t id = *table_id(name);
        // Its rows go as removed rows do: their binary cells' streams are
        // removed and, when counts are exact, their strings released.
        table* content = nullptr;
        if (auto it = staged_.find(name); it != staged_.end())
            content = it->second.get();
        else if (!added_.count(name))
            content = &db_.get_table(name);
        if (content)
            for (std::size_t row = 0; row < content->row_count(); ++row) {
                const table::row values = content->get_row(row);
                if (exact_)
                    let_go(*content, values);
                else if (has_binary(*content, values))
                    drop_binary(*content, values);
            }
        for (std::size_t row = columns_->row_count(); row-- > 0;) {
            if (columns_->cell(row, 0) != id) continue;
            release(columns_->cell(row, 2));
            release(id);
            columns_->erase(row);
        }
        const std::size_t at = tables_->find(table::row{id});
        tables_->erase(at);
        release(id);
        staged_.erase(name);
        added_.erase(name);
        reshaped_.erase(name);
        dropped_.insert(name);
        streams_[encode_stream_name(name, true)] = std::nullopt;
    }

    // ---- `_Columns`

    void apply_columns() {
        if (!mst_.has_records(columns_name)) return;
        auto cursor = mst_.records(columns_name, columns_->columns());
        transform_record r;
        std::u16string numbering;  // the table whose unnumbered columns are being counted
        std::int32_t counter = 0;
        while (cursor.next(r)) {
            if (r.cells[0] == 0) transform_damaged(mst_.path(), "a record of _Columns names no table.");
            const std::u16string name = mst_.text(r.cells[0]);
            if (r.type == transform_record::kind::remove) {
                if (dropped_.count(name)) continue;  // went with its table
                cannot("it removes a column of table " + in_quotes(name) + "; columns cannot be removed.");
            }
            if (r.type == transform_record::kind::update)
                cannot("it changes the definition of a column of table " + in_quotes(name) + ".");
            std::int32_t number;
            if (r.cells[1] == null_cell) {
                // Columns of a new table come unnumbered, in order.
                if (name != numbering) numbering = name, counter = 0;
                number = ++counter;
            } else {
                number = decode_int16(r.cells[1]);
                numbering = name, counter = number;
            }
            if (r.cells[2] == 0 || r.cells[3] == null_cell)
                transform_damaged(mst_.path(),
                                  "a column of table '" + sys::utf16_to_utf8(name) + "' has no name or no type.");
            declare_column(name, number, r.cells[2], r.cells[3]);
        }
    }

    void declare_column(const std::u16string& name, std::int32_t number, std::uint32_t name_id, std::uint32_t type) {
        const auto id = table_id(name);
        if (!id)
            cannot("it declares a column of table " + in_quotes(name) +
                   ", which neither the database nor the transform has.");
        if (number < 1 || number > 32)
            cannot("it declares column " + std::to_string(number) + " of table " + in_quotes(name) +
                   "; columns are numbered 1 to 32.");
        const std::u16string column_name = mst_.text(name_id);
        const auto type_word = static_cast<std::uint16_t>(decode_int16(type));
        const table::row key{*id, encode_int16(number), 0, 0};
        if (std::size_t at = columns_->find(key); at != table::npos) {
            if (pool_.text(columns_->cell(at, 2)) == column_name && columns_->cell(at, 3) == type) return;
            cannot("it declares column " + std::to_string(number) + " of table " + in_quotes(name) + " as " +
                   in_quotes(column_name) + ", which differs from the table's own column " + std::to_string(number) +
                   ".");
        }
        std::int32_t count = 0;
        for (std::size_t row = 0; row < columns_->row_count(); ++row) count += columns_->cell(row, 0) == *id;
        if (number != count + 1)
            cannot("it declares column " + std::to_string(number) + " of table " + in_quotes(name) + ", which has " +
                   std::to_string(count) + " columns.");
        const bool new_table = added_.count(name) != 0;
        if (!new_table && (type_word & column_type_key))
            cannot("it adds the key column " + in_quotes(column_name) + " to table " + in_quotes(name) + ".");
        pool_.add_reference(*id);
        columns_->insert(table::row{*id, encode_int16(number), add_string(name_id), type});
        if (!new_table) reshaped_.insert(name);
    }

    std::vector<column> schema(const std::u16string& name) const {
        const std::uint32_t id = *table_id(name);
        std::vector<std::pair<std::int32_t, column>> found;
        for (std::size_t row = 0; row < columns_->row_count(); ++row)
            if (columns_->cell(row, 0) == id)
                found.emplace_back(decode_int16(columns_->cell(row, 1)),
                                   column{pool_.text(columns_->cell(row, 2)),
                                          static_cast<std::uint16_t>(decode_int16(columns_->cell(row, 3)))});
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<column> columns;
        for (auto& f : found) columns.push_back(std::move(f.second));
        return columns;
    }

    // New tables get their (empty) tables; tables with appended columns are
    // copied into their wider shape, the new cells NULL.
    void shape_tables() {
        for (const std::u16string& name : added_) {
            auto columns = schema(name);
            if (columns.empty()) cannot("it adds table " + in_quotes(name) + " without columns.");
            auto t = std::make_unique<table>(name, std::move(columns));
            t->set_dirty(true);
            staged_.insert_or_assign(name, std::move(t));
        }
        for (const std::u16string& name : reshaped_) {
            const table& before = db_.get_table(name);
            auto wider = std::make_unique<table>(name, schema(name));
            const std::size_t n = wider->columns().size();
            for (std::size_t row = 0; row < before.row_count(); ++row) {
                table::row values = before.get_row(row);
                values.resize(n, null_cell);
                wider->insert(std::move(values));
            }
            wider->set_dirty(true);
            staged_.insert_or_assign(name, std::move(wider));
        }
    }

    // ---- rows

    table& staged_table(const std::u16string& name) {
        if (auto it = staged_.find(name); it != staged_.end()) return *it->second;
        auto copy = std::make_unique<table>(db_.get_table(name));
        table& t = *copy;
        staged_.emplace(name, std::move(copy));
        return t;
    }

    std::string key_text(const transform_record& r, const std::vector<column>& columns) const {
        std::string text;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!columns[c].is_key()) continue;
            if (!text.empty()) text += ", ";
            const std::uint32_t v = r.present[c] ? r.cells[c] : 0;
            switch (columns[c].cell_kind()) {
            case column::kind::string: text += v ? in_quotes(mst_.text(v)) : "NULL"; break;
            case column::kind::int16: text += v ? std::to_string(decode_int16(v)) : "NULL"; break;
            case column::kind::int32: text += v ? std::to_string(decode_int32(v)) : "NULL"; break;
            case column::kind::binary: text += v ? "[binary]" : "NULL"; break;
            }
        }
        return text;
    }

    std::u16string binary_name(const table& t, const table::row& values) const {
        std::u16string name = t.name();
        for (std::size_t c = 0; c < t.columns().size(); ++c) {
            const column& col = t.columns()[c];
            if (!col.is_key()) continue;
            name += u'.';
            const std::uint32_t v = values[c];
            if (v == null_cell) continue;
            if (col.cell_kind() == column::kind::string)
                name += pool_.text(v);
            else if (col.cell_kind() == column::kind::int16)
                name += sys::utf8_to_utf16(std::to_string(decode_int16(v)));
            else if (col.cell_kind() == column::kind::int32)
                name += sys::utf8_to_utf16(std::to_string(decode_int32(v)));
        }
        return name;
    }

    void take_binary(const table& t, const table::row& values) {
        const std::u16string logical = binary_name(t, values);
        auto data = mst_.binary_data(logical);
        if (!data) transform_damaged(mst_.path(), "it lacks the data of the binary cell " + in_quotes(logical) + ".");
        streams_[encode_stream_name(logical, false)] = std::move(*data);
    }

    void drop_binary(const table& t, const table::row& values) {
        streams_[encode_stream_name(binary_name(t, values), false)] = std::nullopt;
    }

    static bool has_binary(const table& t, const table::row& values) {
        for (std::size_t c = 0; c < values.size(); ++c)
            if (t.columns()[c].cell_kind() == column::kind::binary && values[c] != null_cell) return true;
        return false;
    }

    // A row leaves: its binary cells' streams are removed and its strings let go.
    void let_go(const table& t, const table::row& values) {
        if (has_binary(t, values)) drop_binary(t, values);
        for (std::size_t c = 0; c < values.size(); ++c)
            if (t.columns()[c].cell_kind() == column::kind::string) release(values[c]);
    }

    // A table's rows while its records are applied. Rows stay where they
    // are until the table's last record: removed ones are flagged, added
    // ones kept aside, so that neither moves the rows after it each time (a
    // transform may remove or add millions).
    struct pending_rows {
        explicit pending_rows(table& staged) : t(staged), gone(staged.row_count(), false) {}

        // The key cells of a row, the others NULL.
        table::row key_of(const table::row& values) const {
            table::row key(values.size(), null_cell);
            for (std::size_t c = 0; c < values.size(); ++c)
                if (t.columns()[c].is_key()) key[c] = values[c];
            return key;
        }

        table& t;
        std::vector<bool> gone;
        std::vector<table::row> added;
        std::vector<bool> added_gone;
        std::map<table::row, std::size_t> added_at;  // by key_of
    };

    // The row a record names: a stored one not removed, an added one, or none.
    struct row_ref {
        std::size_t at = table::npos, added_index = table::npos;
        bool exists() const { return at != table::npos || added_index != table::npos; }
    };

    // The key a record names, in the staged pool's ids. False when a key
    // string is not in the pool, so that no row can have it.
    bool record_key(const transform_record& r, const std::vector<column>& columns, table::row& key) const {
        bool known = true;
        std::fill(key.begin(), key.end(), null_cell);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!columns[c].is_key() || !r.present[c]) continue;
            const std::uint32_t v = r.cells[c];
            if (columns[c].cell_kind() == column::kind::string && v != 0) {
                auto id = pool_.find_bytes(staged_bytes(v));
                if (!id)
                    known = false;
                else
                    key[c] = *id;
            } else if (columns[c].cell_kind() == column::kind::binary) {
                key[c] = v ? 1 : 0;
            } else {
                key[c] = v;
            }
        }
        return known;
    }

    static row_ref find_row(const pending_rows& rows, const table::row& key) {
        row_ref ref;
        if (auto it = rows.added_at.find(key); it != rows.added_at.end()) {
            ref.added_index = it->second;
            return ref;
        }
        ref.at = rows.t.find(key);
        // A damaged package may hold a key twice: the next of them then.
        while (ref.at != table::npos && rows.gone[ref.at]) {
            const std::size_t next = ref.at + 1;
            ref.at = table::npos;
            if (next < rows.t.row_count() && rows.key_of(rows.t.get_row(next)) == key) ref.at = next;
        }
        return ref;
    }

    void remove_row(pending_rows& rows, const row_ref& ref, const table::row& key) {
        if (ref.at != table::npos) {
            let_go(rows.t, rows.t.get_row(ref.at));
            rows.gone[ref.at] = true;
        } else {
            let_go(rows.t, rows.added[ref.added_index]);
            rows.added_gone[ref.added_index] = true;
            rows.added_at.erase(key);
        }
    }

    void add_row(pending_rows& rows, const transform_record& r) {
        const auto& columns = rows.t.columns();
        table::row values(columns.size(), null_cell);
        bool binary = false;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!r.present[c]) continue;
            const std::uint32_t v = r.cells[c];
            switch (columns[c].cell_kind()) {
            case column::kind::string: values[c] = add_string(v); break;
            case column::kind::binary:
                values[c] = v ? 1 : 0;
                binary = binary || v;
                break;
            default: values[c] = v; break;
            }
        }
        if (binary) take_binary(rows.t, values);
        if (rows.t.key_count() > 0) rows.added_at[rows.key_of(values)] = rows.added.size();
        rows.added.push_back(std::move(values));
        rows.added_gone.push_back(false);
    }

    void update_row(pending_rows& rows, const row_ref& ref, const transform_record& r) {
        table& t = rows.t;
        const auto& columns = t.columns();
        const table::row before = ref.at != table::npos ? t.get_row(ref.at) : rows.added[ref.added_index];
        auto set = [&](std::size_t c, std::uint32_t stored) {
            if (ref.at != table::npos)
                t.set_cell(ref.at, c, stored);
            else
                rows.added[ref.added_index][c] = stored;
        };
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!r.present[c] || columns[c].is_key()) continue;
            const std::uint32_t v = r.cells[c], old = before[c];
            switch (columns[c].cell_kind()) {
            case column::kind::string:
                set(c, add_string(v));
                release(old);
                break;
            case column::kind::binary:
                if (v)
                    take_binary(t, before);
                else if (old != null_cell)
                    drop_binary(t, before);
                set(c, v ? 1 : 0);
                break;
            default: set(c, v); break;
            }
        }
    }

    // Removed rows leave and added ones take their places.
    static void settle(pending_rows& rows) {
        rows.t.erase_rows(rows.gone);
        std::vector<table::row> kept;
        for (std::size_t i = 0; i < rows.added.size(); ++i)
            if (!rows.added_gone[i]) kept.push_back(std::move(rows.added[i]));
        rows.t.add_rows(std::move(kept));
    }

    void apply_rows(const std::u16string& name) {
        if (!table_exists(name)) cannot("it changes table " + in_quotes(name) + ", which the database lacks.");
        pending_rows rows(staged_table(name));
        const auto& columns = rows.t.columns();
        auto cursor = mst_.records(name, columns);
        transform_record r;
        table::row key(columns.size(), null_cell);
        while (cursor.next(r)) {
            const bool known = record_key(r, columns, key) && rows.t.key_count() > 0;
            const row_ref ref = known ? find_row(rows, key) : row_ref{};
            // Words for a condition's message, made only when one is met.
            auto where = [&] { return "table " + in_quotes(name) + " (key " + key_text(r, columns) + ")"; };
            switch (r.type) {
            case transform_record::kind::remove:
                if (ref.exists())
                    remove_row(rows, ref, key);
                else
                    condition(transform_error_delete_missing_row,
                              [&] { return "it removes a row that is not in " + where(); });
                break;
            case transform_record::kind::add:
                if (ref.exists()) {
                    condition(transform_error_add_existing_row,
                              [&] { return "it adds a row that is already in " + where(); });
                    remove_row(rows, ref, key);
                }
                add_row(rows, r);
                break;
            case transform_record::kind::update:
                if (ref.exists())
                    update_row(rows, ref, r);
                else
                    condition(transform_error_update_missing_row,
                              [&] { return "it changes a row that is not in " + where(); });
                break;
            }
        }
        settle(rows);
    }

    package_database& db_;
    const transform_reader& mst_;
    const int suppressed_;
    bool exact_;
    int final_code_page_ = 0;  // the transform's, when it replaces the database's
    string_pool pool_;
    std::unique_ptr<table> tables_, columns_;
    std::map<std::u16string, std::unique_ptr<table>, std::less<>> staged_;
    std::set<std::u16string> added_;     // tables the transform adds
    std::set<std::u16string> reshaped_;  // existing tables it appends columns to
    std::set<std::u16string> dropped_;
    // Streams to write (data) or remove (nothing), by stored name.
    std::map<std::u16string, std::optional<std::vector<std::uint8_t>>> streams_;
};

}  // namespace

void apply_transform(package_database& db, const std::filesystem::path& path, int suppressed) {
    const transform_reader mst(path);
    transform_stage stage(db, mst, suppressed);
    stage.run();
    stage.install();
}

}  // namespace msi
