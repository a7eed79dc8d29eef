#pragma once
// A file descriptor with positioned reads and writes (POSIX).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <sys/uio.h>
#include <vector>

namespace sys {

// A file operation the system refused (or a file that ended early); the
// message says what was being done and the system's reason.
class file_error : public std::runtime_error {
public:
    enum class operation {
        read,              // opening for reading, reading, asking the file's state
        open_for_writing,  // opening an existing file for writing
        write              // writing, extending, shortening, flushing
    };
    file_error(operation failed, const std::string& message) : std::runtime_error(message), failed_(failed) {}
    operation failed() const noexcept { return failed_; }

private:
    operation failed_;
};

// The system calls through which a file_handle changes a file: one seam, so
// that tests can fail or drop any of them as a full disk, an I/O error or a
// crash would. Each returns what the system call returns, with errno set.
class write_calls {
public:
    virtual ~write_calls() = default;
    virtual ssize_t pwritev(int fd, const iovec* pieces, int count, off_t offset);
    virtual int fdatasync(int fd);
    virtual int fallocate(int fd, off_t offset, off_t length);
    virtual int ftruncate(int fd, off_t length);
};
// Sends every later write-side call through `calls` (nullptr: the system);
// returns the one in use before.
write_calls* use_write_calls(write_calls* calls);

// What tells one state of a file from another: which file it is, its size
// and when it was last written.
struct file_identity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified_seconds = 0, modified_nanoseconds = 0;
    bool operator==(const file_identity&) const = default;
};

class file_handle {
public:
    file_handle() = default;
    file_handle(file_handle&& other) noexcept;
    file_handle& operator=(file_handle&& other) noexcept;
    file_handle(const file_handle&) = delete;
    file_handle& operator=(const file_handle&) = delete;
    ~file_handle();

    // Raise file_error (read; open_for_writing).
    static file_handle open_read(const std::filesystem::path& path);    // O_RDONLY
    static file_handle open_update(const std::filesystem::path& path);  // O_RDWR, never creates
    // A descriptor that someone else opened and will close.
    static file_handle borrow(int fd);

    bool is_open() const { return fd_ >= 0; }
    std::uint64_t size() const;
    bool same_file_as(const file_handle& other) const;
    // The open file's identity now; that of the file a path names now (none
    // when there is none).
    file_identity identity() const;
    static std::optional<file_identity> identity_of(const std::filesystem::path& path);

    // Reads exactly `size` bytes; raises file_error (read), also for a short read.
    void read_exact(std::uint64_t offset, void* buffer, std::size_t size) const;
    // Raise file_error (write) when the system refuses.
    void write_exact(std::uint64_t offset, const void* buffer, std::size_t size);
    void write_gather(std::uint64_t offset, std::vector<iovec> pieces);
    void grow_to(std::uint64_t size);
    void shrink_to(std::uint64_t size);
    // Makes the file's data durable (fdatasync).
    void sync();
    // Allocates the disk blocks of [offset, offset + size) (posix_fallocate
    // semantics: the file grows, nothing is overwritten); where the file
    // system cannot allocate ahead, writes zeros past the end instead.
    void reserve(std::uint64_t offset, std::uint64_t size);
    void close();

private:
    explicit file_handle(int fd, bool owned = true) : fd_(fd), owned_(owned) {}
    int fd_ = -1;
    bool owned_ = true;
};

}  // namespace sys
