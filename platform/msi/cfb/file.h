#pragma once
// A file descriptor with positioned reads and writes (POSIX).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sys/uio.h>
#include <vector>

namespace msi::cfb {

class file_handle {
public:
    file_handle() = default;
    file_handle(file_handle&& other) noexcept;
    file_handle& operator=(file_handle&& other) noexcept;
    file_handle(const file_handle&) = delete;
    file_handle& operator=(const file_handle&) = delete;
    ~file_handle();

    static file_handle open_read(const std::filesystem::path& path);   // O_RDONLY
    static file_handle open_update(const std::filesystem::path& path); // O_RDWR, never creates
    static file_handle create(const std::filesystem::path& path);      // O_WRONLY|O_CREAT|O_TRUNC

    bool is_open() const { return fd_ >= 0; }
    std::uint64_t size() const;
    bool same_file_as(const file_handle& other) const;

    // Reads exactly `size` bytes; a short read raises ERROR_OPEN_FAILED.
    void read_exact(std::uint64_t offset, void* buffer, std::size_t size) const;
    // Raise ERROR_FUNCTION_FAILED when the system refuses.
    void write_exact(std::uint64_t offset, const void* buffer, std::size_t size);
    void write_gather(std::uint64_t offset, std::vector<iovec> pieces);
    void grow_to(std::uint64_t size);
    void close();

private:
    explicit file_handle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace msi::cfb
