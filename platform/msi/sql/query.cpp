#include "msi/sql/query.h"

#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/sql/evaluator.h"
#include "msi/sql/row_prefilter.h"
#include "msi/db/table.h"
#include "system/text_conversion.h"

#include <climits>

namespace msi {
namespace {

[[noreturn]] void bad_query(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_BAD_QUERY_SYNTAX), message);
}

[[noreturn]] void failed(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), message);
}

std::string quoted(const std::u16string& name) { return "'" + sys::utf16_to_utf8(name) + "'"; }

}  // namespace

query::query(std::shared_ptr<package_database> db, std::u16string_view sql)
    : db_(std::move(db)), statement_(sql::parse(sql)) {
    if (!db_) throw automation_error(E_POINTER, "The query has no database.");
    const std::u16string& table_name =
        std::visit([](const auto& s) -> const std::u16string& { return s.table; }, statement_);
    if (!db_->has_table(table_name)) bad_query("The database has no table " + quoted(table_name) + ".");
    table_ = &db_->get_table(table_name);

    auto check_column = [this](const std::u16string& name) -> std::size_t {
        int index = table_->column_index(name);
        if (index < 0) bad_query("Table " + quoted(table_->name()) + " has no column " + quoted(name) + ".");
        return static_cast<std::size_t>(index);
    };
    auto check_where = [&](const sql::condition* where) {
        if (where)
            for (const std::u16string& name : sql::referenced_columns(*where)) check_column(name);
    };
    auto check_expression = [&](const sql::expression* e) {
        if (e && e->type == sql::expression::kind::column) check_column(e->column);
    };

    if (auto* select = std::get_if<sql::select_statement>(&statement_)) {
        if (select->columns.empty()) {
            for (std::size_t i = 0; i < table_->columns().size(); ++i) selected_columns_.push_back(i);
        } else {
            for (const std::u16string& name : select->columns) selected_columns_.push_back(check_column(name));
        }
        check_where(select->where.get());
    } else {
        auto& update = std::get<sql::update_statement>(statement_);
        if (table_name == u"_Tables" || table_name == u"_Columns")
            bad_query("The catalog table " + quoted(table_name) + " cannot be updated.");
        for (const sql::assignment& a : update.assignments) {
            const column& c = table_->columns()[check_column(a.column)];
            if (c.is_key())
                bad_query("Column " + quoted(a.column) + " is a key of table " + quoted(table_name) +
                          "; key columns cannot be updated.");
            if (c.cell_kind() == column::kind::binary)
                bad_query("Column " + quoted(a.column) + " of table " + quoted(table_name) +
                          " holds binary data, which UPDATE cannot set.");
            check_expression(a.value.get());
        }
        check_where(update.where.get());
    }
}

query::~query() = default;

std::size_t query::parameter_count() const { return sql::parameter_count(statement_); }

sql::value query::read_cell(std::size_t row, std::size_t column) const {
    cell_value c = db_->cell(*table_, row, column);
    sql::value v;
    if (c.type == cell_value::kind::integer) {
        v.type = sql::value::kind::integer;
        v.integer = c.integer;
    } else if (c.type == cell_value::kind::string) {
        v.type = sql::value::kind::string;
        v.text = db_->strings().text(c.string_id);
    }
    return v;  // NULL and binary cells read as null
}

void query::execute(const std::vector<sql::value>& values) {
    if (values.size() < parameter_count())
        failed("The statement has " + std::to_string(parameter_count()) + " parameter(s) but only " +
               std::to_string(values.size()) + " value(s) were given.");
    results_.clear();
    next_ = 0;
    if (std::holds_alternative<sql::select_statement>(statement_))
        run_select(values);
    else
        run_update(values);
    executed_ = true;
}

void query::run_select(const std::vector<sql::value>& params) {
    const auto& select = std::get<sql::select_statement>(statement_);
    const row_prefilter prefilter(*db_, *table_, select.where.get(), params);
    for (std::size_t r = 0; r < table_->row_count(); ++r) {
        if (!prefilter.admits(r)) continue;
        auto reader = [&](const std::u16string& name) {
            return read_cell(r, static_cast<std::size_t>(table_->column_index(name)));
        };
        if (!sql::matches(select.where.get(), reader, params)) continue;
        std::vector<sql::value> row;
        row.reserve(selected_columns_.size());
        for (std::size_t column : selected_columns_) row.push_back(read_cell(r, column));
        results_.push_back(std::move(row));
    }
}

void query::run_update(const std::vector<sql::value>& params) {
    const auto& update = std::get<sql::update_statement>(statement_);
    struct change {
        std::size_t row, column;
        sql::value value;
    };
    // Every new value is worked out and checked before the first cell
    // changes, so a statement that fails leaves the table as it was.
    std::vector<change> changes;
    const row_prefilter prefilter(*db_, *table_, update.where.get(), params);
    for (std::size_t r = 0; r < table_->row_count(); ++r) {
        if (!prefilter.admits(r)) continue;
        auto reader = [&](const std::u16string& name) {
            return read_cell(r, static_cast<std::size_t>(table_->column_index(name)));
        };
        if (!sql::matches(update.where.get(), reader, params)) continue;
        for (const sql::assignment& a : update.assignments) {
            auto c = static_cast<std::size_t>(table_->column_index(a.column));
            sql::value v = sql::evaluate(*a.value, reader, params);
            const column& col = table_->columns()[c];
            const std::string where =
                "column '" + sys::utf16_to_utf8(col.name) + "' of table '" + sys::utf16_to_utf8(table_->name()) + "'";
            if (v.type == sql::value::kind::string) {
                if (col.cell_kind() != column::kind::string)
                    failed("The string '" + sys::utf16_to_utf8(v.text) + "' cannot be stored in the integer " + where +
                           ".");
                encode_code_page(v.text, db_->code_page());  // raises for text the code page cannot hold
            } else if (v.type == sql::value::kind::integer) {
                if (col.cell_kind() == column::kind::string)
                    failed("The integer " + std::to_string(v.integer) + " cannot be stored in the string " + where +
                           ".");
                bool fits = col.cell_kind() == column::kind::int16 ? (v.integer >= -32767 && v.integer <= 32767)
                                                                   : v.integer != INT_MIN;
                if (!fits) failed("The value " + std::to_string(v.integer) + " does not fit the " + where + ".");
            }
            changes.push_back({r, c, std::move(v)});
        }
    }
    for (change& ch : changes) {
        if (ch.value.type == sql::value::kind::null)
            db_->set_null(*table_, ch.row, ch.column);
        else if (ch.value.type == sql::value::kind::integer)
            db_->set_integer(*table_, ch.row, ch.column, ch.value.integer);
        else
            db_->set_string(*table_, ch.row, ch.column, ch.value.text);
    }
}

const std::vector<sql::value>* query::fetch() {
    if (!executed_) failed("Fetch was called before Execute.");
    if (next_ >= results_.size()) return nullptr;
    return &results_[next_++];
}

void query::close() {
    results_.clear();
    next_ = 0;
    executed_ = false;
}

}  // namespace msi
