#pragma once
// The user's own folders as a Linux desktop names them, and whether a folder
// can take new files.
#include <filesystem>

namespace sys {

// Where a program keeps short-lived private files: $XDG_RUNTIME_DIR when it
// names a folder, else the system's temporary folder.
std::filesystem::path private_temporary_folder();

// The user's documents folder: `xdg-user-dir DOCUMENTS` when that names a
// folder, else ~/Documents, else the home folder.
std::filesystem::path documents_folder();

// True when this process may create files in `folder` (permissions and a
// read-only mount both count, for root too).
bool folder_writable(const std::filesystem::path& folder);

}  // namespace sys
