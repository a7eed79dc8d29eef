#include "installer/installer_package.h"

#include "installer/earlier_transform.h"
#include "installer/package_paths.h"
#include "system/file_operations.h"
#include "system/text_conversion.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

using msi::automation_error;

bool same_file(const std::u16string& a, const std::u16string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path pa = sys::to_fs_path(a), pb = sys::to_fs_path(b);
    if (fs::exists(pa, ec) && fs::exists(pb, ec) && fs::equivalent(pa, pb, ec)) return true;
    return fs::absolute(pa, ec).lexically_normal() == fs::absolute(pb, ec).lexically_normal();
}

// A new, empty file in the transform's folder to write the transform into
// before it replaces the earlier one.
std::filesystem::path reserve_temporary_beside(const std::filesystem::path& target) {
    std::string pattern = target.string() + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw std::runtime_error("cannot create a file beside " + target.string());
    ::close(fd);
    return name.data();
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
    // A stale working copy that could not be replaced must not be opened in
    // place of a fresh copy of the package.
    const bool copied = sys::CopyFileW(package_path, copy_path, false);

    try {
        package_db = installer->OpenDatabase(package_path, msi::msiOpenDatabaseModeTransact);
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
    if (!copy_path.empty()) sys::DeleteFileW(copy_path);
    copy_db = nullptr;
    package_db = nullptr;
    installer = nullptr;
}

bool installer_package::is_open() const { return installer && package_db && copy_db; }

database_values& installer_package::values() {
    if (!copy_values) throw msi::automation_error(msi::E_POINTER, "The package is not open.");
    return *copy_values;
}

std::u16string installer_package::read_property(const std::u16string& name) {
    return values().read_property(name);
}

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

// The new transform is written to a file of its own in the same folder and
// moved over <name>.mst only once it is complete with its summary
// information, so a failure leaves any earlier transform exactly as it was.
installer_package::transform_outcome installer_package::generate_transform() {
    std::filesystem::path temporary;
    try {
        if (!copy_db || !package_db) throw automation_error(msi::E_POINTER, "The package is not open.");
        copy_db->Commit();
        const std::u16string target = transform_path();
        if (same_file(target, package_path) || same_file(target, copy_path))
            throw std::runtime_error("the transform would replace the package");
        const auto target_file = sys::to_fs_path(target);
        temporary = reserve_temporary_beside(target_file);
        const std::u16string temporary_name = sys::from_fs_path(temporary);
        const bool written = copy_db->GenerateTransform(package_db, temporary_name);
        copy_db->CreateTransformSummaryInfo(package_db, temporary_name, 0, 0);
        // Identical databases give no transform at all.
        if (!written) throw std::runtime_error("no differences");
        std::filesystem::rename(temporary, target_file);
        return transform_outcome::created;
    } catch (...) {
        if (!temporary.empty()) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
        }
        return transform_outcome::failed;
    }
}
