#include "file_clone.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace msi_transform {
namespace {

[[noreturn]] void copy_failed(const std::filesystem::path& from, int error) {
    throw std::runtime_error("cannot copy " + from.string() + ": " + std::strerror(error));
}

class descriptor {
public:
    explicit descriptor(int fd) : fd_(fd) {}
    ~descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

copy_method copy_into(const std::filesystem::path& from, int to_fd) {
    descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) copy_failed(from, errno);
    if (::ioctl(to_fd, FICLONE, in.get()) == 0) return copy_method::clone;

    struct stat st {};
    if (::fstat(in.get(), &st) != 0) copy_failed(from, errno);
    off_t left = st.st_size;
    bool kernel = true;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(in.get(), nullptr, to_fd, nullptr, static_cast<std::size_t>(left), 0);
        if (n > 0) {
            left -= n;
            continue;
        }
        if (n == 0) break;  // the file shrank while copying
        if (errno == EINTR) continue;
        if (left == st.st_size && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
            kernel = false;  // nothing copied yet: copy through this process
            break;
        }
        copy_failed(from, errno);
    }
    if (kernel) return copy_method::kernel_copy;

    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            copy_failed(from, errno);
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to_fd, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                copy_failed(from, errno);
            }
            done += w;
        }
    }
    return copy_method::read_write;
}

}  // namespace msi_transform
