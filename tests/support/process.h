#pragma once
// Runs an external program without a shell and collects what it printed.
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

struct process_result {
    int exit_code = -1;  // the program's exit status; 128 + signal when killed
    std::string out;
    std::string err;
};

// argv[0] is looked up in PATH. Throws std::runtime_error when it cannot start.
process_result run_process(const std::vector<std::string>& argv,
                           const std::filesystem::path& working_dir = {});

}  // namespace test_support
