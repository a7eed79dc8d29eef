#pragma once
// Replacing a file as a whole: readers see the earlier file or the complete
// new one, never a part, and a failure leaves the earlier file as it was.
#include <filesystem>
#include <functional>
#include <string>

namespace sys {

// Calls `write` with a descriptor (open for reading and writing) of a new,
// empty file in the target's folder, flushes it to the disk and renames it
// over `target` in one step, then flushes the folder. The new file has no
// name while it is written where the file system allows it, otherwise a
// short one of fixed length, so any target whose own name fits can be
// written. A file that is replaced keeps its owner (where this process may
// give it), group and permissions; a new one gets the permissions the umask
// gives. On any failure the new file is removed and the failure passed on;
// failures of the file system itself raise std::system_error whose text
// names the target and the system's reason.
void replace_file(const std::filesystem::path& target, const std::function<void(int fd)>& write);

// The one line a failure to replace `target` gives: `reason` (without a
// final full stop) and that the file was left as it was.
std::string left_as_it_was(std::string reason, const std::filesystem::path& target);

// For tests: called before each system call replace_file makes itself, with
// the call's name ("open", "fchmod", "fsync", "link", "close", "rename",
// "fsync folder"). A result other than 0 fails that call with that errno. An
// empty function removes the hook.
using system_call_hook = std::function<int(const char* call)>;
void set_replace_file_hook(system_call_hook hook);

}  // namespace sys
