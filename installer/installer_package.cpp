#include "installer/installer_package.h"

#include "installer/earlier_transform.h"
#include "installer/package_paths.h"
#include "system/atomic_file.h"
#include "system/same_file.h"
#include "system/text_conversion.h"

#include <filesystem>
#include <stdexcept>

namespace {

using msi::automation_error;

bool is_unsupported_code_page(const automation_error& e) {
    return e.code() == msi::hresult_from_win32(msi::ERROR_INSTALL_LANGUAGE_UNSUPPORTED);
}

bool is_file_changed(const automation_error& e) { return e.code() == msi::hresult_from_win32(msi::ERROR_FILE_INVALID); }

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
        // The copy is deleted after a crash: its commits need not wait for the disk.
        if (copy_db) copy_db->SetDurableCommits(false);
    } catch (...) {
        copy_db = nullptr;
    }
    if (!copy_db) {
        opening_ = open_outcome::copy_not_opened;
        return;
    }
    copy_values = std::make_unique<database_values>(copy_db, true);
}

installer_package::~installer_package() {
    if (is_open()) {
        package_db = nullptr;
        copy_values = nullptr;
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

database_values& installer_package::values() {
    if (!copy_values) throw msi::automation_error(msi::E_POINTER, "The package is not open.");
    return *copy_values;
}

std::u16string installer_package::read_property(const std::u16string& name) { return values().read_property(name); }

std::u16string installer_package::read_registry_value(const std::u16string& name) {
    return values().read_registry_value(name);
}

std::u16string installer_package::read_control_text(const std::u16string& control) {
    return values().read_control_text(control);
}

bool installer_package::set_property(const std::u16string& name, const std::u16string& value) {
    values().set_property(name, value);
    return true;
}

bool installer_package::set_registry_value(const std::u16string& name, const std::u16string& value) {
    values().set_registry_value(name, value);
    return true;
}

bool installer_package::set_registry_number(const std::u16string& name, std::int32_t number) {
    values().set_registry_number(name, number);
    return true;
}

void installer_package::apply_transform(const std::u16string& transform) {
    if (!copy_db) throw automation_error(msi::E_POINTER, "The package is not open.");
    apply_earlier_transform(*copy_db, sys::to_fs_path(transform));
}

std::u16string installer_package::transform_path() const { return installer::transform_path(package_path); }

// The transform is built whole with its summary information and replaces
// <name>.mst in one step, so a failure leaves any earlier transform exactly as
// it was, and says so beside its reason.
installer_package::transform_outcome installer_package::generate_transform() {
    const std::u16string target = transform_path();
    const auto failed = [&](const char* reason) {
        failure_text_ = sys::utf8_to_utf16(sys::left_as_it_was(reason, sys::to_fs_path(target)));
        return transform_outcome::failed;
    };
    try {
        if (!copy_db || !package_db) throw automation_error(msi::E_POINTER, "The package is not open.");
        copy_db->Commit();
        if (sys::same_file(sys::to_fs_path(target), sys::to_fs_path(package_path)) ||
            sys::same_file(sys::to_fs_path(target), sys::to_fs_path(copy_path)))
            throw std::runtime_error("the transform would replace the package");
        // Identical databases give no transform at all.
        if (!copy_db->GenerateTransformWithSummary(package_db, target, 0, 0))
            throw std::runtime_error("no differences");
        return transform_outcome::created;
    } catch (const automation_error& e) {
        if (!is_file_changed(e)) return failed(e.what());
        failure_text_ = sys::utf8_to_utf16(e.what());
        return transform_outcome::file_changed;
    } catch (const std::exception& e) {
        return failed(e.what());
    } catch (...) {
        return failed("unexpected failure");
    }
}
