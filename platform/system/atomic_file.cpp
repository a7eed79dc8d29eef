#include "system/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <cstdint>
#include <random>
#include <string>
#include <system_error>
#include <unistd.h>

namespace sys {
namespace {

[[noreturn]] void fail(int error, const std::filesystem::path& target) {
    throw std::system_error(error, std::generic_category(), "cannot write " + target.string());
}

std::filesystem::path folder_of(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// ".tmp" and eight hex digits: twelve bytes whatever the target is called.
std::filesystem::path temporary_name(const std::filesystem::path& folder, std::mt19937& random) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string name = ".tmp";
    std::uint32_t bits = random();
    for (int i = 0; i < 8; ++i, bits >>= 4) name += digits[bits & 15];
    return folder / name;
}

}  // namespace

void replace_file(const std::filesystem::path& target, const std::function<void(int fd)>& write) {
    const std::filesystem::path folder = folder_of(target);
    std::random_device seed;
    std::mt19937 random(seed());
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = temporary_name(folder, random);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 100)) fail(errno, target);
    }
    try {
        write(fd);
        if (::fsync(fd) != 0) fail(errno, target);
        const int descriptor = fd;
        fd = -1;
        if (::close(descriptor) != 0) fail(errno, target);
        if (::rename(temporary.c_str(), target.c_str()) != 0) fail(errno, target);
    } catch (...) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        throw;
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace sys
