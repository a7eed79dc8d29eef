#include "installer/database_values.h"

#include "system/text_conversion.h"

#include <new>

namespace {

using msi::automation_error;

// Statements are built from fixed pieces and the program's own names; an
// allocation failure while building one is reported as the automation
// object would report it.
template <typename Build>
std::u16string build_statement(Build build) {
    try {
        return build();
    } catch (const std::bad_alloc&) {
        throw automation_error(msi::E_OUTOFMEMORY, "Out of memory while building a statement.");
    }
}

bool is_unknown_table_error(const automation_error& e) {
    return e.code() == msi::hresult_from_win32(msi::ERROR_BAD_QUERY_SYNTAX) ||
           e.code() == msi::hresult_from_win32(msi::ERROR_INVALID_TABLE);
}

}  // namespace

database_values::database_values(std::shared_ptr<msi::Database> database, bool commit_each_update)
    : db_(std::move(database)), commit_each_update_(commit_each_update) {}

bool database_values::table_missing(const std::u16string& table) const {
    // The catalog answers as it would on Windows; any doubt counts as present.
    try {
        auto view = db_->OpenView(u"SELECT `Name` FROM `_Tables` WHERE `Name` = ?");
        msi::Record params(1);
        params.SetStringData(1, table);
        view->Execute(&params);
        return view->Fetch() == nullptr;
    } catch (...) {
        return false;
    }
}

std::u16string database_values::read_single_value(const std::u16string& table, const std::u16string& sql) {
    if (!db_) throw automation_error(msi::E_POINTER, "The package is not open.");
    std::shared_ptr<msi::View> view;
    try {
        view = db_->OpenView(sql);
    } catch (const automation_error& e) {
        // Many packages have no Registry or no Control table: that reads as a missing row.
        if (is_unknown_table_error(e) && table_missing(table)) return {};
        throw;
    }
    if (!view) throw automation_error(msi::E_POINTER, "The database returned no view.");
    view->Execute(nullptr);
    std::shared_ptr<msi::Record> record = view->Fetch();
    if (!record || record->FieldCount() != 1) return {};
    std::u16string value = record->StringData(1);
    if (const auto nul = value.find(u'\0'); nul != std::u16string::npos) value.resize(nul);
    return value;
}

void database_values::run_update(const std::u16string& table, const std::u16string& sql,
                                 const std::u16string* bound_value) {
    if (!db_) throw automation_error(msi::E_POINTER, "The package is not open.");
    std::shared_ptr<msi::View> view;
    try {
        view = db_->OpenView(sql);
    } catch (const automation_error& e) {
        if (is_unknown_table_error(e) && table_missing(table)) return;  // nothing to change
        throw;
    }
    if (!view) throw automation_error(msi::E_POINTER, "The database returned no view.");
    if (bound_value) {
        msi::Record params(1);
        params.SetStringData(1, *bound_value);
        view->Execute(&params);
    } else {
        view->Execute(nullptr);
    }
    if (commit_each_update_) db_->Commit();
}

std::u16string database_values::read_property(const std::u16string& name) {
    return read_single_value(
        u"Property", build_statement([&] { return u"SELECT Value FROM Property WHERE Property = '" + name + u"'"; }));
}

std::u16string database_values::read_registry_value(const std::u16string& name) {
    return read_single_value(
        u"Registry", build_statement([&] { return u"SELECT Value FROM Registry WHERE Name = '" + name + u"'"; }));
}

std::u16string database_values::read_control_text(const std::u16string& control) {
    return read_single_value(
        u"Control", build_statement([&] { return u"SELECT Text FROM Control WHERE Control = '" + control + u"'"; }));
}

// The key column is never empty, so an empty answer means no row.
bool database_values::has_property(const std::u16string& name) {
    return !read_single_value(u"Property", build_statement([&] {
                                  return u"SELECT Property FROM Property WHERE Property = '" + name + u"'";
                              }))
                .empty();
}

bool database_values::has_registry_value(const std::u16string& name) {
    return !read_single_value(u"Registry", build_statement([&] {
                                  return u"SELECT Registry FROM Registry WHERE Name = '" + name + u"'";
                              }))
                .empty();
}

// Values are bound through a "?" marker rather than spliced between quotes,
// so any text (a path such as C:\Users\O'Brien\Work) is stored exactly. An
// empty value has nothing to quote and an empty record field would mean NULL,
// so it keeps the literal ''.
void database_values::set_property(const std::u16string& name, const std::u16string& value) {
    const auto sql = build_statement([&] {
        return u"UPDATE Property SET Value = " + std::u16string(value.empty() ? u"''" : u"?") + u" WHERE Property = '" +
               name + u"'";
    });
    run_update(u"Property", sql, value.empty() ? nullptr : &value);
}

void database_values::set_registry_value(const std::u16string& name, const std::u16string& value) {
    const auto sql = build_statement([&] {
        return u"UPDATE Registry SET Value = " + std::u16string(value.empty() ? u"''" : u"?") + u" WHERE Name = '" +
               name + u"'";
    });
    run_update(u"Registry", sql, value.empty() ? nullptr : &value);
}

void database_values::set_registry_number(const std::u16string& name, std::int32_t number) {
    const auto sql = build_statement([&] {
        return u"UPDATE Registry SET Value = '#" + sys::utf8_to_utf16(std::to_string(number)) + u"' WHERE Name = '" +
               name + u"'";
    });
    run_update(u"Registry", sql, nullptr);
}
