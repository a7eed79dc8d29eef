#include "installer/in_memory_package.h"

#include "installer/earlier_transform.h"

#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::shared_ptr<msi::Installer> installer_or_fail() {
    auto installer = msi::create_installer();
    if (!installer) throw msi::automation_error(msi::E_POINTER, "Creation of Windows installer object failed.");
    return installer;
}

bool same_file(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::absolute(a, ec).lexically_normal() == fs::absolute(b, ec).lexically_normal();
}

// A new, empty file in the target's folder, named after it.
fs::path reserve_temporary_beside(const fs::path& target) {
    std::string pattern = target.native() + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot create a file beside " + target.native());
    ::close(fd);
    return fs::path(name.data());
}

}  // namespace

in_memory_package::in_memory_package(const fs::path& package)
    : path_(package),
      installer_(installer_or_fail()),
      reference_(installer_->OpenDatabase(package, msi::msiOpenDatabaseModeReadOnly)),
      changed_(installer_->OpenDatabase(package, msi::msiOpenDatabaseModeReadOnly)),
      values_(changed_, false) {}

void in_memory_package::apply_transform(const fs::path& transform) { apply_earlier_transform(*changed_, transform); }

in_memory_package::transform_result in_memory_package::write_transform(const fs::path& target) {
    if (same_file(target, path_)) throw std::runtime_error("the transform would replace the package");
    const fs::path temporary = reserve_temporary_beside(target);
    try {
        const bool written = changed_->GenerateTransform(reference_, temporary);
        if (!written) {
            fs::remove(temporary);
            return transform_result::no_differences;
        }
        changed_->CreateTransformSummaryInfo(reference_, temporary, 0, 0);
        fs::rename(temporary, target);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    return transform_result::written;
}
