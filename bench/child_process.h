#pragma once
// Running another program and learning what it cost: its exit status, its
// standard output and its peak resident set (from wait4).
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct child_result {
    int exit_status = -1;  // -1 when it did not exit normally
    std::string output;    // standard output (when captured)
    std::uint64_t peak_rss_bytes = 0;
    double cpu_ms = 0;  // user + system time
};

// Runs argv[0] (looked up on PATH) with standard error passed through.
child_result run_child(const std::vector<std::string>& argv, bool capture_output);

}  // namespace bench
