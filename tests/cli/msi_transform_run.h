#pragma once
// Runs the msi-transform under test (MSI_TRANSFORM, set by the build) with
// the given arguments.
#include "support/process.h"

#include <string>
#include <vector>

namespace test_support {

inline process_result tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{MSI_TRANSFORM};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(argv);
}

}  // namespace test_support
