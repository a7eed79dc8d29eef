#pragma once
// Replacing a file as a whole: readers see the earlier file or the complete
// new one, never a part, and a failure leaves the earlier file as it was.
#include <filesystem>
#include <functional>

namespace sys {

// Calls `write` with a descriptor of a new, empty file in the target's folder,
// flushes it to the disk and renames it over `target` in one step. The
// temporary file's name is short and of fixed length, so any target whose
// own name fits can be written. On any failure the temporary file is removed
// and the failure passed on; failures of the file system itself raise
// std::system_error whose text names the target and the system's reason.
void replace_file(const std::filesystem::path& target, const std::function<void(int fd)>& write);

}  // namespace sys
