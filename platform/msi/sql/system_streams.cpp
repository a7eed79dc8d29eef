#include "msi/sql/system_streams.h"

#include "msi/automation_error.h"
#include "msi/db/package_database.h"
#include "msi/db/stream_data.h"
#include "msi/db/stream_name.h"
#include "msi/sql/evaluator.h"
#include "msi/sql/tokenizer.h"
#include "system/text_conversion.h"

#include <algorithm>

namespace msi {
namespace {

[[noreturn]] void failed(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), message);
}

bool is_stream_table(std::u16string_view name) { return name == u"_Streams" || name == u"_Storages"; }

std::string in_quotes(std::u16string_view name) { return "'" + sys::utf16_to_utf8(name) + "'"; }

// Code units that stored names use to pack identifier characters: a name
// holding them could not be told apart from an encoded one.
bool has_packed_units(std::u16string_view name) {
    return std::any_of(name.begin(), name.end(), [](char16_t c) { return c >= 0x3800 && c <= 0x4840; });
}

// The stored form of a stream's or storage's name, checked to fit the file.
std::u16string stored_name(const sql::value& name, bool storage) {
    if (name.type != sql::value::kind::string || name.text.empty())
        failed(std::string("The Name of a row of ") + (storage ? "_Storages" : "_Streams") +
               " must be a string that is not empty.");
    if (has_packed_units(name.text))
        failed(std::string(storage ? "The storage name " : "The stream name ") + in_quotes(name.text) +
               " cannot be stored.");
    // Storages keep their names as they are.
    if (storage) {
        if (name.text.find_first_of(u"/\\:!") != std::u16string::npos)
            failed("The storage name " + in_quotes(name.text) + " holds a character storage names cannot have.");
        if (name.text.size() > 31)
            failed("The storage name " + in_quotes(name.text) + " is too long: a storage name holds 31 characters.");
        return name.text;
    }
    std::u16string stored = encode_stream_name(name.text, false);
    // Two identifier characters share a stored unit: 62 of them fit.
    if (stored.size() > 31)
        failed("The stream name " + in_quotes(name.text) +
               " is too long: a stream name holds at most 62 letters, digits, '.' and '_', fewer of other characters.");
    return stored;
}

}  // namespace

const std::u16string* stream_table_of(const sql::statement& s) {
    return std::visit(
        [](const auto& st) -> const std::u16string* {
            if constexpr (requires { st.tables; }) {
                for (const std::u16string& t : st.tables)
                    if (is_stream_table(t)) return &t;
                return nullptr;
            } else {
                return is_stream_table(st.table) ? &st.table : nullptr;
            }
        },
        s);
}

stream_table_query::stream_table_query(std::shared_ptr<package_database> db, const sql::statement& s)
    : db_(std::move(db)), statement_(s), table_(*stream_table_of(s)), storages_(table_ == u"_Storages") {
    auto check_where = [&](const sql::condition* where) {
        if (where)
            for (const std::u16string& name : sql::referenced_columns(*where)) resolve(name);
    };
    if (const auto* select = std::get_if<sql::select_statement>(&s)) {
        if (select->tables.size() > 1)
            failed("The table " + in_quotes(table_) + " cannot be joined with other tables by this engine.");
        if (select->columns.empty()) selected_ = {column::name, column::data};
        for (const std::u16string& name : select->columns) selected_.push_back(resolve(name));
        check_where(select->where.get());
        for (const std::u16string& name : select->order_by) resolve(name);
        if (storages_ && std::find(selected_.begin(), selected_.end(), column::data) != selected_.end())
            failed("The data of a storage cannot be read as a stream; select the Name of _Storages only.");
        return;
    }
    if (std::holds_alternative<sql::create_statement>(s))
        sql::syntax_error("The database already has a table " + in_quotes(table_) + ".");
    if (std::holds_alternative<sql::alter_statement>(s) || std::holds_alternative<sql::drop_statement>(s))
        sql::syntax_error("The table " + in_quotes(table_) + " cannot be altered or dropped.");
    if (const auto* insert = std::get_if<sql::insert_statement>(&s)) {
        if (insert->temporary)
            failed(storages_ ? "Storages cannot be inserted TEMPORARY." : "Streams cannot be inserted TEMPORARY.");
        for (const std::u16string& name : insert->columns) {
            const column c = resolve(name);
            if (std::find(selected_.begin(), selected_.end(), c) != selected_.end())
                sql::syntax_error("INSERT names column " + in_quotes(name) + " twice.");
            selected_.push_back(c);
        }
        if (selected_.size() != 2) failed("A row of " + in_quotes(table_) + " needs both its Name and its Data.");
        selected_.clear();
    } else if (const auto* update = std::get_if<sql::update_statement>(&s)) {
        for (const sql::assignment& a : update->assignments) resolve(a.column);
        check_where(update->where.get());
    } else if (const auto* remove = std::get_if<sql::delete_statement>(&s)) {
        check_where(remove->where.get());
    }
}

stream_table_query::column stream_table_query::resolve(const std::u16string& name) const {
    std::u16string_view bare = name;
    if (bare.size() > table_.size() && bare.substr(0, table_.size()) == table_ && bare[table_.size()] == u'.')
        bare.remove_prefix(table_.size() + 1);
    if (bare == u"Name") return column::name;
    if (bare == u"Data") return column::data;
    sql::syntax_error("Table " + in_quotes(table_) + " has no column " + in_quotes(name) + ".");
}

std::vector<stream_table_query::row> stream_table_query::rows() const {
    const compound_file& file = db_->storage();
    std::vector<row> out;
    for (std::u16string& stored : storages_ ? file.storage_names() : file.stream_names()) {
        bool is_table = false;
        std::u16string name = decode_stream_name(stored, &is_table);
        if (!is_table) out.push_back({std::move(name), std::move(stored)});
    }
    return out;
}

sql::value stream_table_query::read(const row& r, column c) const {
    sql::value v;
    if (c == column::name) {
        v.type = sql::value::kind::string;
        v.text = r.name;
    } else if (!storages_) {
        v.type = sql::value::kind::stream;
        v.stream = std::make_shared<stream_data>(db_, r.stored, db_->storage().stream_size(r.stored));
    }
    return v;
}

std::vector<stream_table_query::row> stream_table_query::matching(const sql::condition* where,
                                                                  const std::vector<sql::value>& params) const {
    std::vector<row> out;
    for (row& r : rows()) {
        auto reader = [&](const std::u16string& name) { return read(r, resolve(name)); };
        if (sql::matches(where, reader, params)) out.push_back(std::move(r));
    }
    return out;
}

std::vector<sql::value> stream_table_query::execute(const std::vector<sql::value>& params) const {
    std::vector<sql::value> results;
    if (const auto* select = std::get_if<sql::select_statement>(&statement_)) {
        std::vector<row> found = matching(select->where.get(), params);
        // Names are the only column with an order; data keeps the stored order.
        if (std::any_of(select->order_by.begin(), select->order_by.end(),
                        [&](const std::u16string& n) { return resolve(n) == column::name; }))
            std::stable_sort(found.begin(), found.end(), [](const row& a, const row& b) { return a.name < b.name; });
        for (const row& r : found)
            for (column c : selected_) results.push_back(read(r, c));
    } else if (std::holds_alternative<sql::insert_statement>(statement_)) {
        insert(params);
    } else if (std::holds_alternative<sql::update_statement>(statement_)) {
        update(params);
    } else if (const auto* remove = std::get_if<sql::delete_statement>(&statement_)) {
        for (const row& r : matching(remove->where.get(), params)) {
            if (storages_)
                db_->storage().remove_storage(r.stored);
            else
                db_->storage().remove_stream(r.stored);
        }
    }
    return results;
}

void stream_table_query::insert(const std::vector<sql::value>& params) const {
    const auto& insert = std::get<sql::insert_statement>(statement_);
    sql::value name, data;
    for (std::size_t i = 0; i < insert.columns.size(); ++i) {
        sql::value v = sql::evaluate(
            *insert.values[i], [](const std::u16string&) { return sql::value{}; }, params);
        (resolve(insert.columns[i]) == column::name ? name : data) = std::move(v);
    }
    const std::u16string stored = stored_name(name, storages_);
    const char* kind = storages_ ? "storage " : "stream ";
    if (data.type != sql::value::kind::stream)
        failed(std::string("The Data of ") + kind + in_quotes(name.text) +
               " must be bound from a record's stream field.");
    compound_file& file = db_->storage();
    if (file.has_stream(stored) || file.has_storage(stored))
        failed("The database already has a stream or storage " + in_quotes(name.text) + ".");
    if (storages_)
        file.write_storage(stored, data.stream->bytes());
    else
        file.write_stream(stored, data.stream->bytes());
}

void stream_table_query::update(const std::vector<sql::value>& params) const {
    const auto& update = std::get<sql::update_statement>(statement_);
    std::shared_ptr<const stream_data> data;
    for (const sql::assignment& a : update.assignments) {
        if (resolve(a.column) == column::name)
            failed("UPDATE cannot change the Name of a row of " + in_quotes(table_) + ".");
        sql::value v = sql::evaluate(
            *a.value, [](const std::u16string&) { return sql::value{}; }, params);
        if (v.type != sql::value::kind::stream)
            failed("The Data of " + in_quotes(table_) +
                   " can be set only from a record's stream field; DELETE removes a row.");
        data = v.stream;
    }
    // The new data is read whole before the first stream changes.
    const std::vector<std::uint8_t>& bytes = data->bytes();
    for (const row& r : matching(update.where.get(), params)) {
        if (storages_)
            db_->storage().write_storage(r.stored, bytes);
        else
            db_->storage().write_stream(r.stored, bytes);
    }
}

}  // namespace msi
