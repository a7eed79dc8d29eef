#pragma once
// A file held under an exclusive advisory lock, so that a second holder (a
// second instance of a program, another user) cannot take it at the same time.
#include <filesystem>
#include <memory>

namespace sys {

class locked_file {
public:
    // Opens `path`, creating it when there is none, and locks it. Null when
    // another holder has it locked or it cannot be opened; the file is then
    // left exactly as it was, and `error` (when given) says why: EWOULDBLOCK
    // for another holder's lock, else the system's error number.
    static std::unique_ptr<locked_file> acquire(const std::filesystem::path& path, int* error = nullptr);
    ~locked_file();  // releases the lock
    locked_file(const locked_file&) = delete;
    locked_file& operator=(const locked_file&) = delete;

    // Replaces the locked file's content with that of `source`, in place, and
    // leaves it writable by its owner, with no permission the source or the
    // umask withholds (the source's group, where it cannot be given, gets
    // what everyone gets). False when it cannot be read or written.
    bool copy_from(const std::filesystem::path& source);
    // Removes the file while the lock is still held. False when it cannot.
    bool remove();

private:
    locked_file(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    std::filesystem::path path_;
    int fd_;
};

}  // namespace sys
