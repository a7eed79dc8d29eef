#pragma once
// What one phase of work costs the process that runs it: wall time, the
// peak resident set while it ran, and the bytes it read and wrote through
// the kernel (/proc/self/io).
#include <cstdint>
#include <string>

namespace bench {

struct io_counters {
    std::uint64_t read_chars = 0;   // rchar: bytes returned by read-like calls
    std::uint64_t write_chars = 0;  // wchar: bytes passed to write-like calls
    std::uint64_t write_bytes = 0;  // write_bytes: bytes sent towards storage (page cache included)
};

io_counters read_io_counters();

struct phase_cost {
    double wall_ms = 0;
    double cpu_ms = 0;  // user + system time of the process (what waiting for a busy core does not inflate)
    std::uint64_t peak_rss_bytes = 0;  // VmHWM at the end of the phase
    std::uint64_t read_chars = 0;
    std::uint64_t write_bytes = 0;
};

// Starts measuring: resets the process's peak resident set (clear_refs 5)
// so that the phase's peak is its own, then takes the counters.
class phase_meter {
public:
    phase_meter();
    phase_cost stop() const;

private:
    double start_ms_;
    double start_cpu_ms_;
    io_counters start_io_;
};

double now_ms();
// User + system time this process has used so far.
double cpu_ms();
// The process's peak resident set so far (VmHWM), in bytes.
std::uint64_t peak_rss_bytes();

}  // namespace bench
