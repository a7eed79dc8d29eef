#include "faulty_write_calls.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace cfb_test {

faulty_write_calls::faulty_write_calls() : previous_(sys::use_write_calls(this)) {}

faulty_write_calls::~faulty_write_calls() { sys::use_write_calls(previous_); }

void faulty_write_calls::set(fault f, int at, int error) {
    fault_ = f;
    at_ = at;
    error_ = error;
}

bool faulty_write_calls::drop(bool& failed) {
    failed = false;
    ++calls_;
    if (crashed_) return true;
    if (calls_ != at_) return false;
    if (fault_ == fault::crash) {
        crashed_ = true;
        return true;
    }
    if (fault_ == fault::error) {
        failed = true;
        errno = error_;
    }
    return false;
}

ssize_t faulty_write_calls::pwritev(int fd, const iovec* pieces, int count, off_t offset) {
    bool failed;
    std::size_t total = 0;
    for (int i = 0; i < count; ++i) total += pieces[i].iov_len;
    if (drop(failed)) return static_cast<ssize_t>(total);
    if (failed) return -1;
    std::string before(total, '\0');
    const ssize_t got = ::pread(fd, before.data(), total, offset);
    if (got < 0) return -1;
    unsynced_.push_back(
        {std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)), offset, std::move(before)});
    return write_calls::pwritev(fd, pieces, count, offset);
}

int faulty_write_calls::fdatasync(int fd) {
    bool failed;
    if (drop(failed)) return 0;
    if (failed) return -1;
    const int result = write_calls::fdatasync(fd);
    if (result == 0) unsynced_.clear();
    return result;
}

int faulty_write_calls::fallocate(int fd, off_t offset, off_t length) {
    bool failed;
    if (drop(failed)) return 0;
    return failed ? -1 : write_calls::fallocate(fd, offset, length);
}

int faulty_write_calls::ftruncate(int fd, off_t length) {
    bool failed;
    if (drop(failed)) return 0;
    return failed ? -1 : write_calls::ftruncate(fd, length);
}

void faulty_write_calls::lose_unsynced_writes(std::uint32_t seed) {
    std::mt19937 pick(seed);
    // Latest first, so that a lost write brings back what was there before it.
    for (auto w = unsynced_.rbegin(); w != unsynced_.rend(); ++w) {
        const std::size_t blocks = (w->before.size() + 511) / 512;
        std::size_t kept_blocks = 0;  // lost
        switch (pick() % 3) {
        case 0: continue;  // kept
        case 1: break;
        default: kept_blocks = pick() % (blocks + 1);  // torn
        }
        const std::size_t from = std::min(w->before.size(), kept_blocks * 512);
        std::fstream f(w->file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(w->offset + static_cast<off_t>(from));
        f.write(w->before.data() + from, static_cast<std::streamsize>(w->before.size() - from));
        if (!f) throw std::runtime_error("cannot model the power loss on " + w->file.string());
    }
    unsynced_.clear();
}

}  // namespace cfb_test
