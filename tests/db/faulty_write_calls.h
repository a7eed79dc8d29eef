#pragma once
// Write-side system calls that fail or stop at a chosen call, for the commit
// fault tests: an I/O error or a full disk at call N, or a crash at call N
// (that call and every later one dropped). A crash may also model a power
// loss: each write since the last completed fdatasync is then lost, kept or
// torn (whole 512-byte blocks of it kept, the rest lost).
#include "system/file_handle.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cfb_test {

class faulty_write_calls : public sys::write_calls {
public:
    enum class fault { none, error, crash };
    // Counts only, until a fault is set.
    faulty_write_calls();
    ~faulty_write_calls() override;
    faulty_write_calls(const faulty_write_calls&) = delete;
    faulty_write_calls& operator=(const faulty_write_calls&) = delete;

    // Call `at` (1-based) fails with `error` or starts the crash.
    void fail_at(int at, int error) { set(fault::error, at, error); }
    void crash_at(int at) { set(fault::crash, at, 0); }

    int calls() const { return calls_; }
    bool crashed() const { return crashed_; }
    // After a crash: undoes the writes since the last completed sync as a
    // power loss might, each lost, kept or torn as `seed` picks; the file
    // stays as long as it is.
    void lose_unsynced_writes(std::uint32_t seed);

    ssize_t pwritev(int fd, const iovec* pieces, int count, off_t offset) override;
    int fdatasync(int fd) override;
    int fallocate(int fd, off_t offset, off_t length) override;
    int ftruncate(int fd, off_t length) override;

private:
    void set(fault f, int at, int error);
    // Counts the call; true when it must be dropped (crash), -1 with errno
    // set through `failed` when it must fail.
    bool drop(bool& failed);

    struct unsynced_write {
        std::filesystem::path file;
        off_t offset;
        std::string before;  // the bytes the write replaced (zeros past the end)
    };
    sys::write_calls* previous_;
    fault fault_ = fault::none;
    int at_ = 0, error_ = 0, calls_ = 0;
    bool crashed_ = false;
    std::vector<unsynced_write> unsynced_;
};

}  // namespace cfb_test
