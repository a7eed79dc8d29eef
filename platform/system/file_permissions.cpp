#include "system/file_permissions.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

int give_owner_and_mode(int fd, uid_t owner, gid_t group, mode_t mode) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return errno;
    // A user cannot give a file away; the file then stays this user's.
    if (owner != static_cast<uid_t>(-1) && now.st_uid != owner) (void)::fchown(fd, owner, static_cast<gid_t>(-1));
    // Another group gets what everyone gets, no more.
    if (now.st_gid != group && ::fchown(fd, static_cast<uid_t>(-1), group) != 0)
        mode = (mode & ~static_cast<mode_t>(S_IRWXG)) | ((mode & S_IRWXO) << 3);
    // Changing the owner clears the set-id bits: the mode comes after it.
    if (::fchmod(fd, mode) == 0) return 0;
    const int error = errno;
    if (::fstat(fd, &now) != 0) return errno;
    return (now.st_mode & 07777 & ~mode) == 0 ? 0 : error;
}

}  // namespace sys
