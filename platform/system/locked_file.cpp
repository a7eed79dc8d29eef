#include "system/locked_file.h"

#include "system/file_permissions.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {
namespace {

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

std::unique_ptr<locked_file> locked_file::acquire(const std::filesystem::path& path, int* error) {
    int ignored = 0;
    int& why = error ? *error : ignored;
    why = 0;
    // The holder before us may remove the file just after we opened it; a
    // lock on a file no longer at the path would protect nothing.
    for (int attempt = 0; attempt < 10; ++attempt) {
        // A link in the working copy's place could point at any file: never follow one.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            why = errno;
            return nullptr;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            why = errno == EINTR ? EWOULDBLOCK : errno;
            ::close(fd);
            return nullptr;
        }
        struct stat held {
        }, at_path{};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::stat(path.c_str(), &at_path) == 0 &&
            same_file(held, at_path))
            return std::unique_ptr<locked_file>(new locked_file(path, fd));
        const bool regular = S_ISREG(held.st_mode);
        ::close(fd);
        if (!regular) {
            why = EINVAL;
            return nullptr;
        }
    }
    why = EWOULDBLOCK;
    return nullptr;
}

locked_file::~locked_file() { ::close(fd_); }

bool locked_file::copy_from(const std::filesystem::path& source) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat from {
    }, to{};
    // A copy is made to be changed, but never read by more people than the
    // source: its permissions are set before any of the source's bytes arrive.
    // An empty file is not truncated: on ext4 a truncation to zero marks the
    // file as replaced, and its next close then allocates and flushes the
    // whole copy, which the next fsync of any file waits for.
    bool ok = ::fstat(in, &from) == 0 && S_ISREG(from.st_mode) && ::fstat(fd_, &to) == 0 && !same_file(from, to) &&
              (to.st_size == 0 || ::ftruncate(fd_, 0) == 0) &&
              give_owner_and_mode(fd_, static_cast<uid_t>(-1), from.st_gid,
                                  (from.st_mode & to.st_mode & 0777) | S_IRUSR | S_IWUSR) == 0;
    char buffer[1 << 16];
    off_t offset = 0;
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::pwrite(fd_, buffer + done, static_cast<std::size_t>(n - done), offset);
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            if (ok) {
                done += w;
                offset += w;
            }
        }
    }
    ::close(in);
    return ok;
}

bool locked_file::remove() { return ::unlink(path_.c_str()) == 0; }

}  // namespace sys
