#include "installer/installer_package.h"

#include "dialog/ui_services.h"
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

// Failures whose own text tells the administrator more than the general
// message would: a code page the engine cannot read, a file that another
// program changed under the open package.
bool has_own_message(const automation_error& e) {
    return e.code() == msi::hresult_from_win32(msi::ERROR_INSTALL_LANGUAGE_UNSUPPORTED) ||
           e.code() == msi::hresult_from_win32(msi::ERROR_FILE_INVALID);
}

}  // namespace

installer_package::installer_package(const std::u16string& path) {
    try {
        installer = msi::create_installer();
    } catch (...) {
        installer = nullptr;
    }
    if (!installer) {
        AfxMessageBox(u"Creation of Windows installer object failed.", 0);
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
        AfxMessageBox(has_own_message(e) ? sys::utf8_to_utf16(e.what())
                                         : u"MSI file may be opened in another application.",
                      MB_ICONERROR);
        return;
    } catch (...) {
        AfxMessageBox(u"MSI file may be opened in another application.", MB_ICONERROR);
        return;
    }
    if (!package_db) {
        AfxMessageBox(u"Opening database failed.", MB_ICONERROR);
        return;
    }
    try {
        if (copied) copy_db = installer->OpenDatabase(copy_path, msi::msiOpenDatabaseModeTransact);
    } catch (...) {
        copy_db = nullptr;
    }
    if (!copy_db) AfxMessageBox(u"Opening temporary database failed.", 0);
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

std::u16string installer_package::read_single_value(const std::u16string& table, const std::u16string& sql) {
    std::shared_ptr<msi::Database> db = copy_db;
    if (!db) throw automation_error(msi::E_POINTER, "The package is not open.");
    std::shared_ptr<msi::View> view;
    try {
        view = db->OpenView(sql);
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

void installer_package::run_update(const std::u16string& table, const std::u16string& sql,
                                   const std::u16string* bound_value) {
    std::shared_ptr<msi::Database> db = copy_db;
    if (!db) throw automation_error(msi::E_POINTER, "The package is not open.");
    std::shared_ptr<msi::View> view;
    try {
        view = db->OpenView(sql);
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

// Values are bound through a "?" marker rather than spliced between quotes,
// so any text (a path such as C:\Users\O'Brien\Work) is stored exactly. An
// empty value has nothing to quote and an empty record field would mean NULL,
// so it keeps the literal ''.
bool installer_package::set_property(const std::u16string& name, const std::u16string& value) {
    const auto sql = build_statement([&] {
        return u"UPDATE Property SET Value = " + std::u16string(value.empty() ? u"''" : u"?") +
               u" WHERE Property = '" + name + u"'";
    });
    run_update(u"Property", sql, value.empty() ? nullptr : &value);
    return true;
}

bool installer_package::set_registry_value(const std::u16string& name, const std::u16string& value) {
    const auto sql = build_statement([&] {
        return u"UPDATE Registry SET Value = " + std::u16string(value.empty() ? u"''" : u"?") +
               u" WHERE Name = '" + name + u"'";
    });
    run_update(u"Registry", sql, value.empty() ? nullptr : &value);
    return true;
}

bool installer_package::set_registry_number(const std::u16string& name, std::int32_t number) {
    const auto sql = build_statement([&] {
        return u"UPDATE Registry SET Value = '#" + sys::utf8_to_utf16(std::to_string(number)) + u"' WHERE Name = '" +
               name + u"'";
    });
    run_update(u"Registry", sql, nullptr);
    return true;
}

// The transform is built whole with its summary information and replaces
// <name>.mst in one step, so a failure leaves any earlier transform exactly as
// it was.
void installer_package::generate_transform() {
    try {
        if (!copy_db || !package_db) throw automation_error(msi::E_POINTER, "The package is not open.");
        copy_db->Commit();
        const std::u16string target = installer::transform_path(package_path);
        if (same_file(target, package_path) || same_file(target, copy_path))
            throw std::runtime_error("the transform would replace the package");
        // Identical databases give no transform at all.
        if (!copy_db->GenerateTransformWithSummary(package_db, target, 0, 0))
            throw std::runtime_error("no differences");
        AfxMessageBox(u"MST file was created successfully in\n" + target, MB_ICONINFORMATION);
    } catch (const automation_error& e) {
        AfxMessageBox(has_own_message(e) ? sys::utf8_to_utf16(e.what()) : u"Unable to create the transform file.",
                      MB_ICONERROR);
    } catch (...) {
        AfxMessageBox(u"Unable to create the transform file.", MB_ICONERROR);
    }
}
