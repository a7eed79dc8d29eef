#pragma once
// Shared libraries loaded at run time, with the Windows loader's shapes. A
// relative path is looked for beside the executable only, never in the
// current folder or the library search path; backslashes in it count as
// separators.
#include <filesystem>
#include <string>

namespace sys {

using module_handle = void*;

module_handle LoadLibraryW(const std::u16string& path);        // null when it cannot be loaded
void* GetProcAddress(module_handle module, const char* name);  // null when absent
bool FreeLibrary(module_handle module);

// The file a loaded module came from; empty for a null handle.
std::filesystem::path module_file(module_handle module);

// The folder of the running executable.
std::filesystem::path executable_dir();

}  // namespace sys
