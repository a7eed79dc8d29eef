// View.Modify: changes to the one table of a SELECT, made through records
// of the view's fields. A record names its row by the key columns: those in
// the view, or for a fetched record the keys of the row it was fetched from.
#include "msi/automation_error.h"
#include "msi/db/code_page.h"
#include "msi/db/package_database.h"
#include "msi/db/table.h"
#include "msi/sql/query.h"
#include "system/text_conversion.h"

#include <algorithm>

namespace msi {
namespace {

[[noreturn]] void failed(const std::string& message) {
    throw automation_error(hresult_from_win32(ERROR_FUNCTION_FAILED), message);
}

const char* mode_name(query::modify_mode mode) {
    switch (mode) {
    case query::modify_mode::seek: return "seek";
    case query::modify_mode::refresh: return "refresh";
    case query::modify_mode::insert: return "insert";
    case query::modify_mode::update: return "update";
    case query::modify_mode::assign: return "assign";
    case query::modify_mode::replace: return "replace";
    case query::modify_mode::merge: return "merge";
    case query::modify_mode::remove: return "delete";
    case query::modify_mode::insert_temporary: return "insert temporary";
    }
    return "?";
}

[[noreturn]] void unsupported(query::modify_mode mode) {
    const int number = static_cast<int>(mode);
    static const char* const validation[] = {"validate", "validate new", "validate field", "validate delete"};
    const std::string which = number >= 8 && number <= 11 ? std::string(" (") + validation[number - 8] + ")" : "";
    throw automation_error(E_INVALIDARG, "Modify mode " + std::to_string(number) + which +
                                             " is not one this engine supports (seek, refresh, insert, update, "
                                             "assign, replace, merge, delete, insert temporary).");
}

// A record's value that its column cannot hold is invalid data to Modify,
// where SQL calls the same a failure.
template <typename F>
void checked_as_data(F&& check) {
    try {
        check();
    } catch (const automation_error& e) {
        throw automation_error(hresult_from_win32(ERROR_INVALID_DATA), e.what());
    }
}

bool same_value(const sql::value& a, const sql::value& b) {
    if (a.type != b.type) return false;
    if (a.type == sql::value::kind::integer) return a.integer == b.integer;
    return a.type == sql::value::kind::null || a.text == b.text;
}

}  // namespace

std::vector<sql::value> query::key_of_fields(const std::vector<sql::value>& fields, const char* mode) const {
    const table& t = *tables_[0];
    std::vector<sql::value> key;
    for (std::size_t c = 0; c < t.columns().size(); ++c) {
        if (!t.columns()[c].is_key()) continue;
        auto at =
            std::find_if(selected_.begin(), selected_.end(), [&](const bound_column& s) { return s.column == c; });
        if (at == selected_.end())
            failed(std::string("Modify ") + mode + " needs every key column of table '" + sys::utf16_to_utf8(t.name()) +
                   "' in the view; '" + sys::utf16_to_utf8(t.columns()[c].name) + "' is not.");
        key.push_back(fields[static_cast<std::size_t>(at - selected_.begin())]);
    }
    return key;
}

std::size_t query::find_row(const std::vector<sql::value>& key) const {
    const table& t = *tables_[0];
    table::row stored(t.columns().size(), null_cell);
    std::size_t k = 0;
    for (std::size_t c = 0; c < t.columns().size(); ++c) {
        if (!t.columns()[c].is_key()) continue;
        const sql::value& v = key[k++];
        const column::kind kind = t.columns()[c].cell_kind();
        if (v.type == sql::value::kind::null) return table::npos;  // keys are never NULL
        if (kind == column::kind::string) {
            if (v.type != sql::value::kind::string) return table::npos;
            const std::optional<std::uint32_t> id =
                db_->strings().find_bytes(encode_code_page(v.text, db_->code_page()));
            if (!id) return table::npos;
            stored[c] = *id;
        } else {
            if (v.type != sql::value::kind::integer) return table::npos;
            if (kind == column::kind::int16 && (v.integer < -32767 || v.integer > 32767)) return table::npos;
            stored[c] = kind == column::kind::int16 ? encode_int16(v.integer) : encode_int32(v.integer);
        }
    }
    return t.find(stored);
}

std::size_t query::current_row() const {
    const std::size_t row = find_row(current_key_);
    if (row == table::npos)
        failed("The row of the record is no longer in table '" + sys::utf16_to_utf8(tables_[0]->name()) + "'.");
    return row;
}

void query::read_fields(std::size_t row, std::vector<sql::value>& fields) const {
    for (std::size_t i = 0; i < selected_.size(); ++i) fields[i] = read_cell(selected_[i], row);
}

std::vector<sql::value> query::merged_row(std::size_t row, const std::vector<sql::value>& fields) const {
    const table& t = *tables_[0];
    std::vector<sql::value> values(t.columns().size());
    if (row != table::npos)
        for (std::size_t c = 0; c < values.size(); ++c) values[c] = read_cell({0, c}, row);
    for (std::size_t i = 0; i < selected_.size(); ++i) values[selected_[i].column] = fields[i];
    return values;
}

void query::update_fields(std::size_t row, const std::vector<sql::value>& fields) {
    table& t = *tables_[0];
    // Checked whole before the first cell changes.
    for (std::size_t i = 0; i < selected_.size(); ++i) {
        const column& c = t.columns()[selected_[i].column];
        if (c.is_key()) {
            if (!same_value(fields[i], read_cell(selected_[i], row)))
                failed("Modify cannot change the key column '" + sys::utf16_to_utf8(c.name) + "' of table '" +
                       sys::utf16_to_utf8(t.name()) + "'; use replace, or delete and insert.");
            continue;
        }
        if (c.cell_kind() != column::kind::binary) checked_as_data([&] { check_storable(fields[i], selected_[i]); });
    }
    for (std::size_t i = 0; i < selected_.size(); ++i) {
        const std::size_t c = selected_[i].column;
        if (t.columns()[c].is_key() || t.columns()[c].cell_kind() == column::kind::binary) continue;
        const sql::value& v = fields[i];
        if (v.type == sql::value::kind::null)
            db_->set_null(t, row, c);
        else if (v.type == sql::value::kind::integer)
            db_->set_integer(t, row, c, v.integer);
        else
            db_->set_string(t, row, c, v.text);
    }
}

void query::insert_record(const std::vector<sql::value>& row, bool temporary) {
    checked_as_data([&] {
        for (std::size_t c = 0; c < row.size(); ++c) check_storable(row[c], {0, c});
    });
    insert_values(row, temporary);
}

void query::check_modifiable(modify_mode mode, const std::vector<sql::value>& fields, bool current) {
    if (static_cast<int>(mode) < static_cast<int>(modify_mode::seek) ||
        static_cast<int>(mode) > static_cast<int>(modify_mode::insert_temporary))
        unsupported(mode);
    if (!std::holds_alternative<sql::select_statement>(statement_))
        failed("Modify needs a view of a SELECT statement.");
    if (!executed_) failed("Modify was called before Execute.");
    bind();  // a statement since Execute may have dropped or altered the table
    if (tables_.size() != 1) failed("Modify cannot change a view that joins tables.");
    if (fields.size() < selected_.size())
        throw automation_error(hresult_from_win32(ERROR_INVALID_DATA),
                               "The record has " + std::to_string(fields.size()) + " fields; the view has " +
                                   std::to_string(selected_.size()) + ".");
    const std::u16string& name = tables_[0]->name();
    if (mode != modify_mode::seek && mode != modify_mode::refresh && (name == u"_Tables" || name == u"_Columns"))
        failed("The catalog table '" + sys::utf16_to_utf8(name) + "' cannot be changed through Modify.");
    const bool needs_current = mode == modify_mode::refresh || mode == modify_mode::update ||
                               mode == modify_mode::replace || mode == modify_mode::remove;
    if (needs_current && (!current || current_key_.empty()))
        failed(std::string("Modify ") + mode_name(mode) + " needs the record that Fetch returned last.");
}

void query::replace_current(const std::vector<sql::value>& fields) {
    const table& t = *tables_[0];
    const std::size_t row = current_row();
    std::vector<sql::value> replacement = merged_row(row, fields);
    std::vector<sql::value> key;
    for (std::size_t c = 0; c < t.columns().size(); ++c)
        if (t.columns()[c].is_key()) key.push_back(replacement[c]);
    if (std::equal(key.begin(), key.end(), current_key_.begin(), current_key_.end(), same_value)) {
        update_fields(row, fields);
        return;
    }
    if (find_row(key) != table::npos)
        failed("Table '" + sys::utf16_to_utf8(t.name()) + "' already has a row with the record's key.");
    for (std::size_t c = 0; c < t.columns().size(); ++c)
        if (t.columns()[c].cell_kind() == column::kind::binary && t.cell(row, c) != null_cell)
            failed("The row's binary data in column '" + sys::utf16_to_utf8(t.columns()[c].name) +
                   "' cannot move to a new key through Modify; delete and insert the row instead.");
    checked_as_data([&] {
        for (std::size_t c = 0; c < replacement.size(); ++c) check_storable(replacement[c], {0, c});
    });
    std::vector<bool> gone(t.row_count(), false);
    gone[row] = true;
    db_->delete_rows(*tables_[0], gone);
    insert_values(replacement);
    current_key_ = std::move(key);
}

void query::merge_record(const std::vector<sql::value>& fields) {
    const table& t = *tables_[0];
    const std::size_t row = find_row(key_of_fields(fields, mode_name(modify_mode::merge)));
    if (row == table::npos) {
        insert_record(merged_row(table::npos, fields));
        return;
    }
    for (std::size_t i = 0; i < selected_.size(); ++i)
        if (!same_value(fields[i], read_cell(selected_[i], row)))
            failed("Table '" + sys::utf16_to_utf8(t.name()) +
                   "' has a row with the record's key and other values in column '" +
                   sys::utf16_to_utf8(t.columns()[selected_[i].column].name) + "'.");
}

void query::modify(modify_mode mode, std::vector<sql::value>& fields, bool current) {
    check_modifiable(mode, fields, current);
    const char* name = mode_name(mode);
    switch (mode) {
    case modify_mode::seek: {
        const std::size_t row = find_row(key_of_fields(fields, name));
        if (row == table::npos)
            failed("Table '" + sys::utf16_to_utf8(tables_[0]->name()) + "' has no row with the record's key.");
        read_fields(row, fields);
        current_key_ = key_of_fields(fields, name);
        return;
    }
    case modify_mode::refresh: read_fields(current_row(), fields); return;
    case modify_mode::insert: insert_record(merged_row(table::npos, fields)); return;
    case modify_mode::insert_temporary: insert_record(merged_row(table::npos, fields), true); return;
    case modify_mode::update: update_fields(current_row(), fields); return;
    case modify_mode::assign: {
        const std::size_t row = find_row(key_of_fields(fields, name));
        if (row == table::npos)
            insert_record(merged_row(table::npos, fields));
        else
            update_fields(row, fields);
        return;
    }
    case modify_mode::replace: replace_current(fields); return;
    case modify_mode::merge: merge_record(fields); return;
    case modify_mode::remove: {
        std::vector<bool> gone(tables_[0]->row_count(), false);
        gone[current_row()] = true;
        db_->delete_rows(*tables_[0], gone);
        return;
    }
    }
    unsupported(mode);
}

}  // namespace msi
