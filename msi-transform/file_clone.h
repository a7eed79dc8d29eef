#pragma once
// Copies a file into another that is open for writing, sharing its blocks
// where the file system can (FICLONE), else copying inside the kernel
// (copy_file_range), and only as a last resort through this process.
#include <filesystem>

namespace msi_transform {

enum class copy_method { clone, kernel_copy, read_write };

// Raises std::runtime_error naming the file when the copy fails.
copy_method copy_into(const std::filesystem::path& from, int to_fd);

}  // namespace msi_transform
