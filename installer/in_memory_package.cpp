#include "installer/in_memory_package.h"

#include "installer/earlier_transform.h"
#include "system/same_file.h"
#include "system/text_conversion.h"

#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::shared_ptr<msi::Installer> installer_or_fail() {
    auto installer = msi::create_installer();
    if (!installer) throw msi::automation_error(msi::E_POINTER, "Creation of Windows installer object failed.");
    return installer;
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
    if (sys::same_file(target, path_)) throw std::runtime_error("the transform would replace the package");
    // Built whole with its summary information and put in place in one step,
    // as the window writes it; nothing is written when nothing differs.
    if (!changed_->GenerateTransformWithSummary(reference_, sys::from_fs_path(target), 0, 0))
        return transform_result::no_differences;
    return transform_result::written;
}
