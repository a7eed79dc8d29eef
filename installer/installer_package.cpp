#include "installer/installer_package.h"

#include "installer/package_paths.h"
#include "system/text_conversion.h"

#include <filesystem>
#include <new>
#include <stdexcept>

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

bool same_file(const std::u16string& a, const std::u16string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path pa = sys::to_fs_path(a), pb = sys::to_fs_path(b);
    if (fs::exists(pa, ec) && fs::exists(pb, ec) && fs::equivalent(pa, pb, ec)) return true;
    return fs::absolute(pa, ec).lexically_normal() == fs::absolute(pb, ec).lexically_normal();
}

bool is_unsupported_code_page(const automation_error& e) {
    return e.code() == msi::hresult_from_win32(msi::ERROR_INSTALL_LANGUAGE_UNSUPPORTED);
}

bool is_file_changed(const automation_error& e) {
    return e.code() == msi::hresult_from_win32(msi::ERROR_FILE_INVALID);
}

}  // namespace

installer_package::installer_package(const std::u16string& path) {
    try {
        installer = msi::create_installer();
    } catch (...) {
        installer = nullptr;
    }
    if (!installer) {
        opening_ = open_outcome::no_installer;
        return;
    }
    package_path = path;
    copy_path = installer::working_copy_path(package_path);
    // The working copy is locked before it is written, so a second session on
    // the same package neither overwrites nor deletes the first one's copy. A
    // stale working copy that could not be replaced must not be opened in
    // place of a fresh copy of the package.
    copy_lock = sys::locked_file::acquire(sys::to_fs_path(copy_path));
    const bool copied = copy_lock && copy_lock->copy_from(sys::to_fs_path(package_path));

    try {
        package_db = installer->OpenDatabase(package_path, msi::msiOpenDatabaseModeTransact);
    } catch (const automation_error& e) {
        opening_ = open_outcome::package_in_use;
        if (is_unsupported_code_page(e)) {
            opening_ = open_outcome::code_page_unsupported;
            failure_text_ = sys::utf8_to_utf16(e.what());
        }
        return;
    } catch (...) {
        opening_ = open_outcome::package_in_use;
        return;
    }
    if (!package_db) {
        opening_ = open_outcome::package_not_opened;
        return;
    }
    try {
        if (copied) copy_db = installer->OpenDatabase(copy_path, msi::msiOpenDatabaseModeTransact);
    } catch (...) {
        copy_db = nullptr;
    }
    if (!copy_db) opening_ = open_outcome::copy_not_opened;
}

installer_package::~installer_package() {
    if (is_open()) {
        package_db = nullptr;
        copy_db = nullptr;  // closes the working copy before its file goes
        installer = nullptr;
    }
    // Only a copy this object holds is its own to delete.
    if (copy_lock) copy_lock->remove();
    copy_lock.reset();
    copy_db = nullptr;
    package_db = nullptr;
    installer = nullptr;
}

bool installer_package::is_open() const { return installer && package_db && copy_db; }

bool installer_package::table_missing(const std::u16string& table) const {
    // The catalog answers as it would on Windows; any doubt counts as present.
    try {
        auto view = copy_db->OpenView(u"SELECT `Name` FROM `_Tables` WHERE `Name` = ?");
        msi::Record params(1);
        params.SetStringData(1, table);
        view->Execute(&params);
        return view->Fetch() == nullptr;
    } catch (...) {
        return false;
    }
}

// A view of `sql` on the working copy; null when `table` is missing, as it
// is from many packages (no Registry or no Control table): that reads as a
// missing row and updates nothing.
std::shared_ptr<msi::View> installer_package::open_view(const std::u16string& table, const std::u16string& sql) {
    if (!copy_db) throw automation_error(msi::E_POINTER, "The package is not open.");
    std::shared_ptr<msi::View> view;
    try {
        view = copy_db->OpenView(sql);
    } catch (const automation_error& e) {
        if (is_unknown_table_error(e) && table_missing(table)) return nullptr;
        throw;
    }
    if (!view) throw automation_error(msi::E_POINTER, "The database returned no view.");
    return view;
}

std::u16string installer_package::read_single_value(const std::u16string& table, const std::u16string& sql) {
    std::shared_ptr<msi::View> view = open_view(table, sql);
    if (!view) return {};
    view->Execute(nullptr);
    std::shared_ptr<msi::Record> record = view->Fetch();
    if (!record || record->FieldCount() != 1) return {};
    std::u16string value = record->StringData(1);
    if (const auto nul = value.find(u'\0'); nul != std::u16string::npos) value.resize(nul);
    return value;
}

// The value is bound through a "?" marker rather than spliced between quotes,
// so any text (a path such as C:\Users\O'Brien\Work) is stored exactly. An
// empty value has nothing to quote and an empty record field would mean NULL,
// so it keeps the literal ''.
void installer_package::update_value(const std::u16string& table, const std::u16string& key_column,
                                     const std::u16string& name, const std::u16string& value) {
    const auto sql = build_statement([&] {
        return u"UPDATE " + table + u" SET Value = " + std::u16string(value.empty() ? u"''" : u"?") + u" WHERE " +
               key_column + u" = '" + name + u"'";
    });
    std::shared_ptr<msi::Database> db = copy_db;
    std::shared_ptr<msi::View> view = open_view(table, sql);
    if (!view) return;
    if (value.empty()) {
        view->Execute(nullptr);
    } else {
        msi::Record params(1);
        params.SetStringData(1, value);
        view->Execute(&params);
    }
    db->Commit();
}

std::u16string installer_package::read_property(const std::u16string& name) {
    return read_single_value(u"Property", build_statement([&] {
        return u"SELECT Value FROM Property WHERE Property = '" + name + u"'";
    }));
}

std::u16string installer_package::read_registry_value(const std::u16string& name) {
    return read_single_value(u"Registry", build_statement([&] {
        return u"SELECT Value FROM Registry WHERE Name = '" + name + u"'";
    }));
}

std::u16string installer_package::read_control_text(const std::u16string& control) {
    return read_single_value(u"Control", build_statement([&] {
        return u"SELECT Text FROM Control WHERE Control = '" + control + u"'";
    }));
}

bool installer_package::set_property(const std::u16string& name, const std::u16string& value) {
    update_value(u"Property", u"Property", name, value);
    return true;
}

bool installer_package::set_registry_value(const std::u16string& name, const std::u16string& value) {
    update_value(u"Registry", u"Name", name, value);
    return true;
}

bool installer_package::set_registry_number(const std::u16string& name, std::int32_t number) {
    const auto value = build_statement([&] { return u"#" + sys::utf8_to_utf16(std::to_string(number)); });
    update_value(u"Registry", u"Name", name, value);
    return true;
}

std::u16string installer_package::transform_path() const { return installer::transform_path(package_path); }

// The transform is built whole with its summary information and replaces
// <name>.mst in one step, so a failure leaves any earlier transform exactly as
// it was.
installer_package::transform_outcome installer_package::generate_transform() {
    try {
        if (!copy_db || !package_db) throw automation_error(msi::E_POINTER, "The package is not open.");
        copy_db->Commit();
        const std::u16string target = transform_path();
        if (same_file(target, package_path) || same_file(target, copy_path))
            throw std::runtime_error("the transform would replace the package");
        // Identical databases give no transform at all.
        if (!copy_db->GenerateTransformWithSummary(package_db, target, 0, 0))
            throw std::runtime_error("no differences");
        return transform_outcome::created;
    } catch (const automation_error& e) {
        if (!is_file_changed(e)) return transform_outcome::failed;
        failure_text_ = sys::utf8_to_utf16(e.what());
        return transform_outcome::file_changed;
    } catch (...) {
        return transform_outcome::failed;
    }
}
