#pragma once
// File copy and deletion with the Windows functions' shapes: UTF-16 paths and
// a success flag.
#include <string>

namespace sys {

// Copies `existing` to `new_file`, replacing it unless `fail_if_exists`. The
// copy is left writable by its owner whatever the source's permissions, since
// a copy is made to be changed.
bool CopyFileW(const std::u16string& existing, const std::u16string& new_file, bool fail_if_exists);

// Removes a file (not a folder); false when there was none or it could not be removed.
bool DeleteFileW(const std::u16string& file);

}  // namespace sys
