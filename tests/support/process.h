#pragma once
// Runs an external program without a shell and collects what it printed.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

struct process_result {
    int exit_code = -1;  // the program's exit status; 128 + signal when killed
    std::string out;
    std::string err;
};

// A program still running after this long is stopped and the run fails, so a
// hung tool fails its test instead of the whole test run.
inline constexpr std::chrono::seconds process_time_limit{600};

// argv[0] is looked up in PATH. Throws std::runtime_error when it cannot start
// or does not finish within process_time_limit. Returns once the program has
// exited, even while processes it left behind still hold its output pipes.
process_result run_process(const std::vector<std::string>& argv, const std::filesystem::path& working_dir = {});

}  // namespace test_support
