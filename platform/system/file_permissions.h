#pragma once
// Who may read a file that takes another's place (a replacement, a copy):
// never more people than could read the file it stands for.
#include <sys/types.h>

namespace sys {

// Gives the open file `fd` the owner `owner` (only root can; uid_t(-1)
// leaves it) and the group `group` where this process may, then the
// permission bits `mode`. When the group cannot be given, its permissions
// fall to those of everyone else: they were meant for that group, not for
// the one the file has instead. A file system that keeps permissions of its own (one mounted
// with fixed modes) is accepted as long as the file is not more open than
// `mode`. Returns 0, or the errno of the failure.
int give_owner_and_mode(int fd, uid_t owner, gid_t group, mode_t mode);

}  // namespace sys
