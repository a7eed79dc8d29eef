#include "system/atomic_file.h"

#include "system/file_permissions.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sys {
namespace {

system_call_hook& hook() {
    static system_call_hook installed;
    return installed;
}

// Whether the system call `call` may go ahead; when a test fails it, errno
// holds its error.
bool allowed(const char* call) {
    const int error = hook() ? hook()(call) : 0;
    if (error != 0) errno = error;
    return error == 0;
}

[[noreturn]] void fail(int error, const std::filesystem::path& target) {
    throw std::system_error(error, std::generic_category(), "cannot write " + target.string());
}

class descriptor {
public:
    explicit descriptor(int fd = -1) : fd_(fd) {}
    ~descriptor() { close(); }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        close();
        fd_ = fd;
    }
    // Closes now and says whether the system reported an error.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

std::filesystem::path folder_of(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// ".tmp" and eight hex digits: twelve bytes whatever the target is called.
std::string temporary_name(std::mt19937& random) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string name = ".tmp";
    std::uint32_t bits = random();
    for (int i = 0; i < 8; ++i, bits >>= 4) name += digits[bits & 15];
    return name;
}

// A file without a name in the folder, or -1 with errno.
int open_unnamed(int folder, mode_t mode) {
    return allowed("open") ? ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode) : -1;
}

// The file system cannot make a file without a name; older kernels take the
// flag for O_DIRECTORY and say EISDIR.
bool unnamed_unsupported(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// Gives the unnamed file `fd` a free temporary name in the folder.
bool link_unnamed(int fd, int folder, std::string& name, std::mt19937& random) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!allowed("link")) return false;
        name = temporary_name(random);
        if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        // Without /proc only a process that may read any file can link one.
        if (errno == ENOENT && ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return true;
        if (errno != EEXIST) break;
    }
    name.clear();
    return false;
}

int open_named(int folder, mode_t mode, std::string& name, std::mt19937& random) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!allowed("open")) return -1;
        name = temporary_name(random);
        const int fd = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0) name.clear();
            return fd;
        }
    }
    name.clear();
    return -1;
}

// The rename reaches the disk with the folder. When that fails the target is
// already whole: after a crash the folder names the earlier file or the new
// one, never a part of either.
void sync_folder(const std::filesystem::path& folder) {
    descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0 && allowed("fsync folder")) ::fsync(dir.get());
}

}  // namespace

std::string left_as_it_was(std::string reason, const std::filesystem::path& target) {
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    return reason + "; " + target.string() + " was left as it was";
}

void set_replace_file_hook(system_call_hook installed) { hook() = std::move(installed); }

void replace_file(const std::filesystem::path& target, const std::function<void(int fd)>& write) {
    const std::filesystem::path folder = folder_of(target);
    const std::string name = target.filename().string();
    descriptor dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) fail(errno, target);
    struct stat earlier {};
    const bool replacing = ::fstatat(dir.get(), name.c_str(), &earlier, 0) == 0 && S_ISREG(earlier.st_mode);

    std::random_device seed;
    std::mt19937 random(seed());
    // A file that replaces another stays private until it has the other's
    // owner and permissions, so nobody opens it on the way.
    const mode_t creation = replacing ? S_IRUSR | S_IWUSR : 0666;
    std::string temporary;  // the new file's name in the folder, once it has one
    descriptor file(open_unnamed(dir.get(), creation));
    if (file.get() < 0 && unnamed_unsupported(errno)) file.reset(open_named(dir.get(), creation, temporary, random));
    if (file.get() < 0) fail(errno, target);
    try {
        if (replacing) {
            const int error = allowed("fchmod") ? give_owner_and_mode(file.get(), earlier.st_uid, earlier.st_gid,
                                                                      earlier.st_mode & 07777)
                                                : errno;
            if (error != 0) fail(error, target);
        }
        write(file.get());
        if (!allowed("fsync") || ::fsync(file.get()) != 0) fail(errno, target);
        if (temporary.empty() && !link_unnamed(file.get(), dir.get(), temporary, random)) fail(errno, target);
        if (!allowed("close") || !file.close()) fail(errno, target);
        if (!allowed("rename") || ::renameat(dir.get(), temporary.c_str(), dir.get(), name.c_str()) != 0)
            fail(errno, target);
    } catch (...) {
        if (!temporary.empty()) ::unlinkat(dir.get(), temporary.c_str(), 0);
        throw;
    }
    sync_folder(folder);
}

}  // namespace sys
