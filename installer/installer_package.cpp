#include "installer/installer_package.h"

#include "installer/earlier_transform.h"
#include "installer/package_paths.h"
#include "system/atomic_file.h"
#include "system/same_file.h"
#include "system/user_folders.h"
#include "system/text_conversion.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

using msi::automation_error;

bool is_unsupported_code_page(const automation_error& e) {
    return e.code() == msi::hresult_from_win32(msi::ERROR_INSTALL_LANGUAGE_UNSUPPORTED);
}

// Why the engine refused the package, in the administrator's terms.
std::u16string why_not_opened(const std::u16string& path, const automation_error& e) {
    const std::u16string engine_text = sys::utf8_to_utf16(e.what());
    std::ifstream in(sys::to_fs_path(path), std::ios::binary);
    if (!in) return u"The file cannot be read: " + sys::utf8_to_utf16(std::strerror(errno)) + u".";
    static constexpr unsigned char compound_signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    unsigned char head[8] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() != sizeof head || std::memcmp(head, compound_signature, sizeof head) != 0)
        return u"It is not a Windows Installer package: the file is not a compound file.";
    if (e.code() == msi::hresult_from_win32(msi::ERROR_INSTALL_PACKAGE_INVALID))
        return u"It is not a Windows Installer package: it holds no installer tables (" + engine_text + u").";
    return engine_text;
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
    make_working_copy();
    const bool copied = copy_lock != nullptr;

    try {
        package_db = installer->OpenDatabase(package_path, msi::msiOpenDatabaseModeTransact);
    } catch (const automation_error& e) {
        opening_ = open_outcome::package_in_use;
        if (is_unsupported_code_page(e)) {
            opening_ = open_outcome::code_page_unsupported;
            failure_text_ = sys::utf8_to_utf16(e.what());
        } else {
            open_reason_ = why_not_opened(package_path, e);
        }
        drop_working_copy();
        return;
    } catch (const std::exception& e) {
        opening_ = open_outcome::package_in_use;
        open_reason_ = sys::utf8_to_utf16(e.what());
        drop_working_copy();
        return;
    }
    if (!package_db) {
        opening_ = open_outcome::package_not_opened;
        drop_working_copy();
        return;
    }
    try {
        if (copied) copy_db = installer->OpenDatabase(copy_path, msi::msiOpenDatabaseModeTransact);
        // The copy is deleted after a crash: its commits need not wait for the disk.
        if (copy_db) copy_db->SetDurableCommits(false);
    } catch (const std::exception& e) {
        copy_db = nullptr;
        if (open_reason_.empty()) open_reason_ = sys::utf8_to_utf16(e.what());
    }
    if (!copy_db) {
        opening_ = open_outcome::copy_not_opened;
        drop_working_copy();
        return;
    }
    copy_values = std::make_unique<database_values>(copy_db, true);
}

// The working copy goes beside the package, locked before it is written, so
// a second session on the same package neither overwrites nor deletes the
// first one's copy. A stale working copy that could not be replaced must not
// be opened in place of a fresh copy of the package. A folder that cannot
// take it (a read-only share) sends it to the user's private temporary
// folder, under the same lock.
void installer_package::make_working_copy() {
    copy_path = installer::working_copy_path(package_path);
    int error = 0;
    copy_lock = sys::locked_file::acquire(sys::to_fs_path(copy_path), &error);
    if (!copy_lock && (error == EACCES || error == EROFS || error == EPERM)) {
        copy_path = installer::working_copy_path_in(sys::from_fs_path(sys::private_temporary_folder()), package_path);
        copy_elsewhere_ = true;
        copy_lock = sys::locked_file::acquire(sys::to_fs_path(copy_path), &error);
    }
    if (!copy_lock) {
        if (error == EWOULDBLOCK)
            open_reason_ = package_path + u" is open in another window of this program.";
        else
            open_reason_ = u"The working copy " + copy_path + u" cannot be made: " +
                           sys::utf8_to_utf16(std::strerror(error)) + u".";
        return;
    }
    if (!copy_lock->copy_from(sys::to_fs_path(package_path))) {
        open_reason_ = u"The package cannot be copied to " + copy_path + u".";
        drop_working_copy();
    }
}

// A failed opening removes its working copy at once, not when the window
// lets go of the object.
void installer_package::drop_working_copy() {
    if (copy_lock) copy_lock->remove();
    copy_lock.reset();
}

installer_package::~installer_package() {
    if (is_open()) {
        package_db = nullptr;
        copy_values = nullptr;
        copy_db = nullptr;  // closes the working copy before its file goes
        installer = nullptr;
    }
    // Only a copy this object holds is its own to delete.
    drop_working_copy();
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

void installer_package::apply_transform(const std::u16string& transform, bool checked) {
    if (!copy_db) throw automation_error(msi::E_POINTER, "The package is not open.");
    apply_earlier_transform(*copy_db, sys::to_fs_path(transform), checked);
}

std::vector<std::string> installer_package::transform_misfits(const std::u16string& transform) {
    if (!copy_db) throw automation_error(msi::E_POINTER, "The package is not open.");
    return earlier_transform_misfits(*copy_db, sys::to_fs_path(transform));
}

std::u16string installer_package::transform_path() const { return installer::transform_path(package_path); }

// The transform is built whole with its summary information and replaces
// <name>.mst in one step, so a failure leaves any earlier transform exactly as
// it was, and says so beside its reason. A chosen target (the save dialog's)
// takes the place of <name>.mst.
installer_package::transform_outcome installer_package::generate_transform(const std::u16string& chosen) {
    failure_text_.clear();
    const std::u16string target = chosen.empty() ? transform_path() : chosen;
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
            throw std::runtime_error(
                "no differences: the package already holds every value written, or lacks its name");
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
