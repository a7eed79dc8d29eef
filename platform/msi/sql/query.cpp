#include "msi/sql/query.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_data.h"
#include "msi/db/table.h"
#include "msi/sql/evaluator.h"
#include "msi/sql/row_prefilter.h"
#include "msi/sql/system_streams.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

namespace msi {
namespace {

[[noreturn]] void bad_query(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_BAD_QUERY_SYNTAX), message);
}

[[noreturn]] void failed(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), message);
}

std::string in_quotes(std::u16string_view name) { return "'" + sys::utf16_to_utf8(name) + "'"; }

bool is_catalog(std::u16string_view name) { return name == u"_Tables" || name == u"_Columns"; }

void refuse_catalog(const std::u16string& name, const char* what) {
    if (is_catalog(name)) bad_query("The catalog table " + in_quotes(name) + " cannot be " + what + " through SQL.");
}

// Tables one SELECT may join.
constexpr std::size_t max_tables = 32;

// Joins whose rows outnumber this are refused rather than filling memory.
constexpr std::size_t max_joined_rows = std::size_t{1} << 24;

// The comparisons that must all hold: the operands of the top-level ANDs.
void conjuncts(const sql::condition* c, std::vector<const sql::condition*>& out) {
    if (!c) return;
    if (c->type == sql::condition::kind::both) {
        conjuncts(c->first.get(), out);
        conjuncts(c->second.get(), out);
    } else {
        out.push_back(c);
    }
}

column to_column(const sql::column_definition& d) {
    return {d.name, static_cast<std::uint16_t>(d.type | (d.temporary ? column_type_temporary : 0))};
}

}  // namespace

query::query(std::shared_ptr<package_database> db, std::u16string_view sql)
    : db_(std::move(db)), statement_(sql::parse(sql)) {
    if (!db_) throw automation_error(E_POINTER, "The query has no database.");
    bind();
    bound_ = true;
    bound_generation_ = db_->schema_generation();
}

query::~query() = default;

std::size_t query::parameter_count() const { return sql::parameter_count(statement_); }

query::bound_column query::resolve(const std::u16string& name) const {
    bool found = false;
    bound_column at;
    for (std::size_t t = 0; t < tables_.size(); ++t) {
        const int c = tables_[t]->column_index(name);
        if (c < 0) continue;
        if (found)
            bad_query("Column " + in_quotes(name) +
                      " is in more than one table of the query; name it as Table.Column.");
        found = true;
        at = {t, static_cast<std::size_t>(c)};
    }
    if (const std::size_t dot = name.find(u'.'); !found && dot != std::u16string::npos) {
        const std::u16string_view table_name = std::u16string_view(name).substr(0, dot);
        const std::u16string_view column_name = std::u16string_view(name).substr(dot + 1);
        for (std::size_t t = 0; t < tables_.size() && !found; ++t) {
            if (tables_[t]->name() != table_name) continue;
            const int c = tables_[t]->column_index(column_name);
            if (c >= 0) {
                found = true;
                at = {t, static_cast<std::size_t>(c)};
            }
        }
    }
    if (!found) {
        if (tables_.size() == 1)
            bad_query("Table " + in_quotes(tables_[0]->name()) + " has no column " + in_quotes(name) + ".");
        bad_query("No table of the query has a column " + in_quotes(name) + ".");
    }
    return at;
}

const query::bound_column& query::named(const std::u16string& name) const {
    for (const auto& [n, c] : named_)
        if (n == name) return c;
    return named_.front().second;  // every name in a condition was resolved by bind()
}

void query::use_table(const std::u16string& name) {
    if (tables_.size() == max_tables) bad_query("A query joins at most " + std::to_string(max_tables) + " tables.");
    if (!db_->has_table(name)) bad_query("The database has no table " + in_quotes(name) + ".");
    for (const table* t : tables_)
        if (t->name() == name) bad_query("The query names table " + in_quotes(name) + " twice.");
    tables_.push_back(&db_->get_table(name));
}

void query::use_where(const sql::condition* where) {
    if (!where) return;
    for (const std::u16string& name : sql::referenced_columns(*where)) named_.emplace_back(name, resolve(name));
}

void query::bind() {
    tables_.clear();
    named_.clear();
    selected_.clear();
    order_.clear();
    carried_.clear();
    streams_.reset();
    if (stream_table_of(statement_)) {
        streams_ = std::make_unique<stream_table_query>(db_, statement_);
        return;
    }
    if (auto* select = std::get_if<sql::select_statement>(&statement_)) {
        bind_select(*select);
    } else if (auto* update = std::get_if<sql::update_statement>(&statement_)) {
        bind_update(*update);
    } else if (auto* insert = std::get_if<sql::insert_statement>(&statement_)) {
        bind_insert(*insert);
    } else if (auto* remove = std::get_if<sql::delete_statement>(&statement_)) {
        refuse_catalog(remove->table, "deleted from");
        use_table(remove->table);
        use_where(remove->where.get());
    } else if (auto* create = std::get_if<sql::create_statement>(&statement_)) {
        if (db_->has_table(create->table))
            bad_query("The database already has a table " + in_quotes(create->table) + ".");
    } else if (auto* alter = std::get_if<sql::alter_statement>(&statement_)) {
        refuse_catalog(alter->table, "altered");
        use_table(alter->table);
        if (alter->what == sql::alter_statement::action::add && tables_[0]->column_index(alter->added.name) >= 0)
            bad_query("Table " + in_quotes(alter->table) + " already has a column " + in_quotes(alter->added.name) +
                      ".");
    } else if (auto* drop = std::get_if<sql::drop_statement>(&statement_)) {
        if (is_catalog(drop->table)) failed("The catalog table " + in_quotes(drop->table) + " cannot be dropped.");
        use_table(drop->table);
    }
}

void query::bind_select(const sql::select_statement& select) {
    for (const std::u16string& name : select.tables) use_table(name);
    if (select.columns.empty()) {
        for (std::size_t t = 0; t < tables_.size(); ++t)
            for (std::size_t c = 0; c < tables_[t]->columns().size(); ++c) selected_.push_back({t, c});
    } else {
        for (const std::u16string& name : select.columns) selected_.push_back(resolve(name));
    }
    use_where(select.where.get());
    for (const std::u16string& name : select.order_by) order_.push_back(resolve(name));
    if (tables_.size() == 1)
        for (std::size_t c = 0; c < tables_[0]->columns().size(); ++c)
            if (tables_[0]->columns()[c].is_key() &&
                std::none_of(selected_.begin(), selected_.end(), [&](const bound_column& s) { return s.column == c; }))
                carried_.push_back({0, c});
}

void query::bind_update(const sql::update_statement& update) {
    refuse_catalog(update.table, "updated");
    use_table(update.table);
    for (const sql::assignment& a : update.assignments) {
        const column& c = tables_[0]->columns()[resolve(a.column).column];
        if (c.is_key())
            failed("Column " + in_quotes(a.column) + " is a key of table " + in_quotes(update.table) +
                   "; key columns cannot be updated.");
    }
    use_where(update.where.get());
}

void query::bind_insert(const sql::insert_statement& insert) {
    refuse_catalog(insert.table, "inserted into");
    use_table(insert.table);
    selected_.reserve(insert.columns.size());
    for (const std::u16string& name : insert.columns) {
        const bound_column c = resolve(name);
        for (const bound_column& earlier : selected_)
            if (earlier.column == c.column) bad_query("INSERT names column " + in_quotes(name) + " twice.");
        selected_.push_back(c);
    }
}

sql::value query::read_cell(const bound_column& at, std::size_t row) const {
    cell_value c = db_->cell(*tables_[at.table], row, at.column);
    sql::value v;
    if (c.type == cell_value::kind::integer) {
        v.type = sql::value::kind::integer;
        v.integer = c.integer;
    } else if (c.type == cell_value::kind::string) {
        v.type = sql::value::kind::string;
        v.text = db_->strings().text(c.string_id);
    } else if (c.type == cell_value::kind::binary) {
        const table& t = *tables_[at.table];
        if (auto stream = db_->binary_stream(t, row, at.column)) {
            v.type = sql::value::kind::stream;
            v.stream = std::make_shared<stream_data>(db_, *stream, db_->storage().stream_size(*stream));
        }
    }
    return v;  // NULL cells, and binary cells whose stream is missing, read as null
}

void query::execute(const std::vector<sql::value>& values) {
    if (values.size() < parameter_count())
        failed("The statement has " + std::to_string(parameter_count()) + " parameter(s) but only " +
               std::to_string(values.size()) + " value(s) were given.");
    results_.clear();
    next_ = 0;
    current_key_.clear();
    executed_ = false;
    if (!bound_ || db_->schema_generation() != bound_generation_) {
        bound_ = false;  // until bind() has looked everything up without raising
        bind();
        bound_ = true;
        bound_generation_ = db_->schema_generation();
    }
    if (streams_) {
        results_ = streams_->execute(values);
    } else if (std::holds_alternative<sql::select_statement>(statement_)) {
        run_select(values);
    } else if (std::holds_alternative<sql::update_statement>(statement_)) {
        run_update(values);
    } else if (std::holds_alternative<sql::insert_statement>(statement_)) {
        run_insert(values);
    } else if (std::holds_alternative<sql::delete_statement>(statement_)) {
        run_delete(values);
    } else if (const auto* create = std::get_if<sql::create_statement>(&statement_)) {
        std::vector<column> columns;
        for (const sql::column_definition& d : create->columns) columns.push_back(to_column(d));
        db_->create_table(create->table, columns);
    } else if (const auto* alter = std::get_if<sql::alter_statement>(&statement_)) {
        // HOLD and FREE only keep a table in memory or let it go; nothing stored changes.
        if (alter->what == sql::alter_statement::action::add) db_->add_column(alter->table, to_column(alter->added));
    } else {
        db_->drop_table(std::get<sql::drop_statement>(statement_).table);
    }
    executed_ = true;
}

std::vector<std::size_t> query::matching_rows(const sql::condition* where,
                                              const std::vector<sql::value>& params) const {
    const table& t = *tables_[0];
    const row_prefilter prefilter(*db_, t, where, params);
    std::vector<std::size_t> rows;
    for (std::size_t r = 0; r < t.row_count(); ++r) {
        if (!prefilter.admits(r)) continue;
        auto reader = [&](const std::u16string& name) { return read_cell(named(name), r); };
        if (sql::matches(where, reader, params)) rows.push_back(r);
    }
    return rows;
}

void query::run_select(const std::vector<sql::value>& params) {
    const auto& select = std::get<sql::select_statement>(statement_);
    // The selected rows as one row index per table, `width` indices each.
    const std::vector<std::size_t> joined =
        tables_.size() == 1 ? matching_rows(select.where.get(), params) : joined_rows(select.where.get(), params);
    collect_results(joined, sorted_order(joined), select.distinct);
}

std::uint64_t query::tables_read(const sql::condition* c) const {
    std::uint64_t bits = 0;
    for (const std::u16string& name : sql::referenced_columns(*c)) bits |= std::uint64_t{1} << named(name).table;
    return bits;
}

std::vector<std::size_t> query::own_rows(const std::vector<const sql::condition*>& parts, std::size_t t,
                                         const std::vector<sql::value>& params) const {
    std::vector<const sql::condition*> own;
    for (const sql::condition* c : parts)
        if (tables_read(c) == std::uint64_t{1} << t) own.push_back(c);
    std::vector<std::size_t> rows;
    for (std::size_t r = 0; r < tables_[t]->row_count(); ++r) {
        auto reader = [&](const std::u16string& name) { return read_cell(named(name), r); };
        bool keep = true;
        for (const sql::condition* c : own) {
            try {
                keep = sql::matches(c, reader, params);
            } catch (const automation_error&) {
                keep = true;
            }
            if (!keep) break;
        }
        if (keep) rows.push_back(r);
    }
    return rows;
}

std::vector<std::size_t> query::joined_rows(const sql::condition* where, const std::vector<sql::value>& params) const {
    const std::size_t width = tables_.size();
    std::vector<const sql::condition*> parts;
    conjuncts(where, parts);
    // Each table's rows are first narrowed by the parts that read it
    // alone. A part that raises leaves the row to the full condition,
    // which decides in its own order.
    std::vector<std::vector<std::size_t>> candidates(width);
    for (std::size_t t = 0; t < width; ++t) candidates[t] = own_rows(parts, t, params);
    std::vector<std::size_t> joined = candidates[0];
    for (std::size_t t = 1; t < width; ++t) joined = join_next(joined, t, parts, candidates[t]);
    // The whole condition decides.
    std::vector<std::size_t> kept;
    for (std::size_t p = 0; p < joined.size() / width; ++p) {
        const std::size_t* rows = joined.data() + p * width;
        auto reader = [&](const std::u16string& name) {
            const bound_column& c = named(name);
            return read_cell(c, rows[c.table]);
        };
        if (sql::matches(where, reader, params)) kept.insert(kept.end(), rows, rows + width);
    }
    return kept;
}

std::pair<const query::bound_column*, const query::bound_column*> query::join_columns(
    const std::vector<const sql::condition*>& parts, std::size_t t) const {
    auto kind_class = [&](const bound_column& c) {
        const column::kind k = tables_[c.table]->columns()[c.column].cell_kind();
        return k == column::kind::int32 ? column::kind::int16 : k;
    };
    for (const sql::condition* c : parts) {
        if (c->type != sql::condition::kind::compare || c->op != sql::comparison::equal) continue;
        if (c->left->type != sql::expression::kind::column || c->right->type != sql::expression::kind::column) continue;
        const bound_column& l = named(c->left->column);
        const bound_column& r = named(c->right->column);
        const bool fits = kind_class(l) == kind_class(r) && kind_class(l) != column::kind::binary;
        if (fits && l.table == t && r.table < t) return {&l, &r};
        if (fits && r.table == t && l.table < t) return {&r, &l};
    }
    return {nullptr, nullptr};
}

std::vector<std::size_t> query::join_next(const std::vector<std::size_t>& joined, std::size_t t,
                                          const std::vector<const sql::condition*>& parts,
                                          const std::vector<std::size_t>& candidates) const {
    // Tables are joined in the order the query names them; a part
    // `A.x = B.y` with B already joined picks A's rows by hash.
    auto join_key = [&](const bound_column& c, std::size_t row) {
        const std::uint32_t stored = tables_[c.table]->cell(row, c.column);
        if (stored == null_cell) return std::string();  // null and '' are the same value
        const cell_value v = db_->cell(*tables_[c.table], row, c.column);
        if (v.type == cell_value::kind::string) return "s" + std::string(db_->strings().bytes(v.string_id));
        return "i" + std::to_string(v.integer);
    };
    const std::size_t have = t;  // indices per partial row so far
    const auto [build, probe] = join_columns(parts, t);
    std::vector<std::size_t> next;
    auto append = [&](std::size_t partial, std::size_t row) {
        if (next.size() / (have + 1) >= max_joined_rows)
            failed("The query joins more than " + std::to_string(max_joined_rows) + " rows.");
        next.insert(next.end(), joined.begin() + static_cast<std::ptrdiff_t>(partial * have),
                    joined.begin() + static_cast<std::ptrdiff_t>((partial + 1) * have));
        next.push_back(row);
    };
    const std::size_t partials = joined.size() / have;
    if (build) {
        std::unordered_map<std::string, std::vector<std::size_t>> by_key;
        for (std::size_t r : candidates) by_key[join_key(*build, r)].push_back(r);
        for (std::size_t p = 0; p < partials; ++p) {
            auto it = by_key.find(join_key(*probe, joined[p * have + probe->table]));
            if (it != by_key.end())
                for (std::size_t r : it->second) append(p, r);
        }
    } else {
        for (std::size_t p = 0; p < partials; ++p)
            for (std::size_t r : candidates) append(p, r);
    }
    return next;
}

std::unordered_map<std::uint32_t, std::int64_t> query::string_ranks(const bound_column& c,
                                                                    const std::vector<std::size_t>& joined) const {
    const std::size_t width = tables_.size();
    const table& t = *tables_[c.table];
    std::unordered_map<std::uint32_t, std::int64_t> rank;
    for (std::size_t i = 0; i < joined.size() / width; ++i)
        rank.emplace(t.cell(joined[i * width + c.table], c.column), 0);
    std::vector<std::pair<std::u16string, std::uint32_t>> texts;
    texts.reserve(rank.size());
    for (const auto& [id, unused] : rank)
        texts.emplace_back(id == null_cell ? std::u16string() : db_->strings().text(id), id);
    std::sort(texts.begin(), texts.end());
    for (std::size_t i = 0; i < texts.size(); ++i)
        rank[texts[i].second] =
            i > 0 && texts[i].first == texts[i - 1].first ? rank[texts[i - 1].second] : static_cast<std::int64_t>(i);
    return rank;
}

std::vector<std::size_t> query::sorted_order(const std::vector<std::size_t>& joined) const {
    const std::size_t width = tables_.size();
    const std::size_t count = joined.size() / width;
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = i;
    if (order_.empty()) return order;
    // Each ORDER BY cell as a number that sorts as its value does: a
    // string by the rank of its text among the column's strings (each
    // text read once), so that sorting compares numbers, not text.
    const std::size_t n = order_.size();
    std::vector<std::int64_t> keys(count * n);
    for (std::size_t k = 0; k < n; ++k) {
        const bound_column& c = order_[k];
        const table& t = *tables_[c.table];
        const bool is_string = t.columns()[c.column].cell_kind() == column::kind::string;
        std::unordered_map<std::uint32_t, std::int64_t> rank;
        if (is_string) rank = string_ranks(c, joined);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t row = joined[i * width + c.table];
            if (is_string) {
                keys[i * n + k] = rank[t.cell(row, c.column)];
            } else {
                const sql::value v = read_cell(c, row);
                keys[i * n + k] = v.type == sql::value::kind::integer ? v.integer : INT64_MIN;  // null first
            }
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::lexicographical_compare(
            keys.begin() + static_cast<std::ptrdiff_t>(a * n), keys.begin() + static_cast<std::ptrdiff_t>((a + 1) * n),
            keys.begin() + static_cast<std::ptrdiff_t>(b * n), keys.begin() + static_cast<std::ptrdiff_t>((b + 1) * n));
    });
    return order;
}

void query::collect_results(const std::vector<std::size_t>& joined, const std::vector<std::size_t>& order,
                            bool distinct) {
    const std::size_t width = tables_.size();
    std::unordered_set<std::u16string> seen;
    const std::size_t fields = selected_.size();
    const std::size_t stride = fields + carried_.size();
    results_.reserve(order.size() * stride);
    for (std::size_t i : order) {
        for (const bound_column& c : selected_) results_.push_back(read_cell(c, joined[i * width + c.table]));
        for (const bound_column& c : carried_) results_.push_back(read_cell(c, joined[i * width + c.table]));
        if (distinct) {
            std::u16string key;
            const auto first = results_.end() - static_cast<std::ptrdiff_t>(stride);
            for (auto v = first; v != first + static_cast<std::ptrdiff_t>(fields); ++v) {
                key += static_cast<char16_t>(u'0' + static_cast<int>(v->type));
                key += v->type == sql::value::kind::integer ? sys::utf8_to_utf16(std::to_string(v->integer)) : v->text;
                key += u'\0';
            }
            if (!seen.insert(std::move(key)).second) results_.resize(results_.size() - stride);
        }
    }
}

void query::check_storable(const sql::value& v, const bound_column& at) const {
    const table& t = *tables_[at.table];
    const column& col = t.columns()[at.column];
    // Built only for a message: most values are fine.
    auto where = [&] { return "column " + in_quotes(col.name) + " of table " + in_quotes(t.name()); };
    if (v.type == sql::value::kind::null) {
        if (!col.is_nullable() || col.is_key())
            failed("NULL cannot be stored in the " + where() + ", which needs a value.");
        return;
    }
    if (col.cell_kind() == column::kind::binary) {
        if (v.type != sql::value::kind::stream)
            failed("The " + where() + " holds binary data, which only a record's stream field can set.");
        return;
    }
    if (v.type == sql::value::kind::stream) failed("Stream data cannot be stored in the " + where() + ".");
    if (v.type == sql::value::kind::string) {
        if (col.cell_kind() != column::kind::string)
            failed("The string '" + sys::utf16_to_utf8(v.text) + "' cannot be stored in the integer " + where() + ".");
        check_encodable(v.text, db_->code_page());
    } else {
        if (col.cell_kind() == column::kind::string)
            failed("The integer " + std::to_string(v.integer) + " cannot be stored in the string " + where() + ".");
        const bool fits =
            col.cell_kind() == column::kind::int16 ? (v.integer >= -32767 && v.integer <= 32767) : v.integer != INT_MIN;
        if (!fits) failed("The value " + std::to_string(v.integer) + " does not fit the " + where() + ".");
    }
}

void query::run_update(const std::vector<sql::value>& params) {
    const auto& update = std::get<sql::update_statement>(statement_);
    table& t = *tables_[0];
    struct change {
        std::size_t row, column;
        sql::value value;
    };
    // Every new value is worked out and checked before the first cell
    // changes, so a statement that fails leaves the table as it was.
    std::vector<change> changes;
    for (std::size_t r : matching_rows(update.where.get(), params)) {
        for (const sql::assignment& a : update.assignments) {
            const bound_column c = resolve(a.column);
            sql::value v = sql::evaluate(
                *a.value, [](const std::u16string&) { return sql::value{}; }, params);
            // NULL stays allowed in any non-key column here, as callers have
            // always cleared values that way; INSERT is held to NOT NULL.
            if (v.type != sql::value::kind::null) check_storable(v, c);
            if (v.stream) v.stream->bytes();  // read now: a stream that cannot be read changes nothing
            changes.push_back({r, c.column, std::move(v)});
        }
    }
    for (change& ch : changes) {
        if (t.columns()[ch.column].cell_kind() == column::kind::binary)
            db_->set_binary(t, ch.row, ch.column, ch.value.stream ? &ch.value.stream->bytes() : nullptr);
        else if (ch.value.type == sql::value::kind::null)
            db_->set_null(t, ch.row, ch.column);
        else if (ch.value.type == sql::value::kind::integer)
            db_->set_integer(t, ch.row, ch.column, ch.value.integer);
        else
            db_->set_string(t, ch.row, ch.column, ch.value.text);
    }
}

void query::run_insert(const std::vector<sql::value>& params) {
    const auto& insert = std::get<sql::insert_statement>(statement_);
    std::vector<sql::value> row(tables_[0]->columns().size());
    for (std::size_t i = 0; i < selected_.size(); ++i)
        row[selected_[i].column] = sql::evaluate(
            *insert.values[i], [](const std::u16string&) { return sql::value{}; }, params);
    insert_values(std::move(row), insert.temporary);
}

void query::insert_values(std::vector<sql::value> row, bool temporary) {
    table& t = *tables_[0];
    std::vector<cell_value> values(t.columns().size());
    std::vector<std::u16string> texts(t.columns().size());
    std::vector<std::pair<std::size_t, std::shared_ptr<const stream_data>>> streams;
    for (std::size_t c = 0; c < t.columns().size(); ++c) {
        sql::value& v = row[c];
        check_storable(v, {0, c});
        if (v.type == sql::value::kind::stream) {
            values[c].type = cell_value::kind::binary;
            streams.emplace_back(c, v.stream);
        } else if (v.type == sql::value::kind::integer) {
            values[c].type = cell_value::kind::integer;
            values[c].integer = v.integer;
        } else if (v.type == sql::value::kind::string) {
            values[c].type = cell_value::kind::string;
            texts[c] = std::move(v.text);
        }
    }
    // Data is read before the row goes in, so that a stream that cannot be
    // read leaves the table as it was.
    for (const auto& [c, data] : streams) data->bytes();
    const std::size_t index = db_->insert_row(t, values, texts, temporary);
    try {
        for (const auto& [c, data] : streams) db_->set_binary(t, index, c, &data->bytes());
    } catch (...) {
        std::vector<bool> gone(t.row_count(), false);
        gone[index] = true;
        db_->delete_rows(t, gone);
        throw;
    }
}

void query::run_delete(const std::vector<sql::value>& params) {
    const auto& remove = std::get<sql::delete_statement>(statement_);
    table& t = *tables_[0];
    // Every match is found before the first row goes, so none is skipped.
    std::vector<bool> gone(t.row_count(), false);
    bool any = false;
    for (std::size_t r : matching_rows(remove.where.get(), params)) gone[r] = any = true;
    if (any) db_->delete_rows(t, gone);
}

const sql::value* query::fetch() {
    if (!executed_) failed("Fetch was called before Execute.");
    const std::size_t stride = field_count() + carried_.size();
    if (next_ + stride > results_.size() || field_count() == 0) return nullptr;
    const sql::value* row = results_.data() + next_;
    next_ += stride;
    current_key_.clear();
    if (!streams_ && tables_.size() == 1) {
        std::size_t carried = 0;
        for (std::size_t c = 0; c < tables_[0]->columns().size(); ++c) {
            if (!tables_[0]->columns()[c].is_key()) continue;
            auto at =
                std::find_if(selected_.begin(), selected_.end(), [&](const bound_column& s) { return s.column == c; });
            current_key_.push_back(at != selected_.end() ? row[at - selected_.begin()]
                                                         : row[selected_.size() + carried++]);
        }
    }
    return row;
}

std::size_t query::field_count() const { return streams_ ? streams_->field_count() : selected_.size(); }

void query::close() {
    results_.clear();
    next_ = 0;
    current_key_.clear();
    executed_ = false;
}

}  // namespace msi
