#include "system/file_handle.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

ssize_t write_calls::pwritev(int fd, const iovec* pieces, int count, off_t offset) {
    return ::pwritev(fd, pieces, count, offset);
}
int write_calls::fdatasync(int fd) { return ::fdatasync(fd); }
int write_calls::fallocate(int fd, off_t offset, off_t length) { return ::fallocate(fd, 0, offset, length); }
int write_calls::ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }

namespace {

std::string system_message() { return std::strerror(errno); }

[[noreturn]] void fail_open(const std::string& message) { throw file_error(file_error::operation::read, message); }
[[noreturn]] void fail_write(const std::string& message) { throw file_error(file_error::operation::write, message); }

write_calls system_calls;
write_calls* current_calls = &system_calls;

file_identity identity_from(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

}  // namespace

write_calls* use_write_calls(write_calls* calls) {
    write_calls* previous = current_calls;
    current_calls = calls ? calls : &system_calls;
    return previous == &system_calls ? nullptr : previous;
}

file_handle::file_handle(file_handle&& other) noexcept : fd_(other.fd_), owned_(other.owned_) { other.fd_ = -1; }

file_handle& file_handle::operator=(file_handle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        owned_ = other.owned_;
        other.fd_ = -1;
    }
    return *this;
}

file_handle::~file_handle() { close(); }

void file_handle::close() {
    if (fd_ >= 0 && owned_) ::close(fd_);
    fd_ = -1;
}

file_handle file_handle::open_read(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail_open("cannot open '" + path.string() + "': " + system_message());
    file_handle f(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) fail_open("'" + path.string() + "' is not a regular file");
    return f;
}

file_handle file_handle::open_update(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw file_error(file_error::operation::open_for_writing,
                         "cannot open '" + path.string() + "' for writing: " + system_message());
    return file_handle(fd);
}

file_handle file_handle::borrow(int fd) { return file_handle(fd, false); }

std::uint64_t file_handle::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail_open("cannot read the file size: " + system_message());
    return static_cast<std::uint64_t>(st.st_size);
}

file_identity file_handle::identity() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail_open("cannot read the file's state: " + system_message());
    return identity_from(st);
}

std::optional<file_identity> file_handle::identity_of(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return identity_from(st);
}

bool file_handle::same_file_as(const file_handle& other) const {
    struct stat a {
    }, b{};
    return ::fstat(fd_, &a) == 0 && ::fstat(other.fd_, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void file_handle::read_exact(std::uint64_t offset, void* buffer, std::size_t size) const {
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (size > 0) {
        ssize_t n = ::pread(fd_, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail_open("read failed: " + system_message());
        if (n == 0) fail_open("the file ends early");
        out += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
}

void file_handle::write_exact(std::uint64_t offset, const void* buffer, std::size_t size) {
    if (size == 0) return;
    write_gather(offset, {{const_cast<void*>(buffer), size}});
}

void file_handle::write_gather(std::uint64_t offset, std::vector<iovec> pieces) {
    std::size_t first = 0;
    while (first < pieces.size()) {
        int count = static_cast<int>(std::min<std::size_t>(pieces.size() - first, IOV_MAX));
        ssize_t n = current_calls->pwritev(fd_, &pieces[first], count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail_write("write failed: " + system_message());
        offset += static_cast<std::uint64_t>(n);
        // Skip what was written; a partial piece continues where it stopped.
        auto left = static_cast<std::size_t>(n);
        while (first < pieces.size() && left >= pieces[first].iov_len) left -= pieces[first++].iov_len;
        if (left > 0) {
            pieces[first].iov_base = static_cast<std::uint8_t*>(pieces[first].iov_base) + left;
            pieces[first].iov_len -= left;
        }
    }
}

void file_handle::grow_to(std::uint64_t size) {
    if (this->size() >= size) return;
    if (current_calls->ftruncate(fd_, static_cast<off_t>(size)) != 0)
        fail_write("cannot extend the file: " + system_message());
}

void file_handle::shrink_to(std::uint64_t size) {
    if (this->size() <= size) return;
    if (current_calls->ftruncate(fd_, static_cast<off_t>(size)) != 0)
        fail_write("cannot shorten the file: " + system_message());
}

void file_handle::sync() {
    int result;
    do result = current_calls->fdatasync(fd_);
    while (result != 0 && errno == EINTR);
    if (result != 0) fail_write("cannot flush the file to disk: " + system_message());
}

void file_handle::reserve(std::uint64_t offset, std::uint64_t size) {
    if (size == 0) return;
    int result;
    do result = current_calls->fallocate(fd_, static_cast<off_t>(offset), static_cast<off_t>(size));
    while (result != 0 && errno == EINTR);
    if (result == 0) return;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        fail_write("cannot reserve " + std::to_string(size) + " bytes on disk: " + system_message());
    // Zeros past the end take the blocks as well.
    const std::vector<std::uint8_t> zeros(std::min<std::uint64_t>(size, 1 << 20), 0);
    for (std::uint64_t done = 0; done < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, zeros.size()));
        write_exact(offset + done, zeros.data(), n);
        done += n;
    }
}

}  // namespace sys
