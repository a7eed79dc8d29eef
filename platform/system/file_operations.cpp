#include "system/file_operations.h"

#include "system/text_conversion.h"

#include <filesystem>

namespace sys {

bool CopyFileW(const std::u16string& existing, const std::u16string& new_file, bool fail_if_exists) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto from = to_fs_path(existing);
    const auto to = to_fs_path(new_file);
    if (!fs::is_regular_file(from, ec)) return false;
    if (fs::exists(to, ec) && fs::equivalent(from, to, ec)) return false;
    const auto options = fail_if_exists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
    if (!fs::copy_file(from, to, options, ec) || ec) return false;
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    return true;
}

bool DeleteFileW(const std::u16string& file) {
    std::error_code ec;
    const auto path = to_fs_path(file);
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path, ec))) return false;
    return std::filesystem::remove(path, ec) && !ec;
}

}  // namespace sys
