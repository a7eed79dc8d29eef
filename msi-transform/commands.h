#pragma once
// The tool's commands. Each returns the process exit status; engine failures
// propagate as msi::automation_error and become status 2 in main.
#include <string>
#include <vector>

namespace msi_transform {

int dump_command(const std::vector<std::string>& args);      // PACKAGE [TABLE...]
int sql_command(const std::vector<std::string>& args);       // PACKAGE STATEMENT...
int generate_command(const std::vector<std::string>& args);  // NEW REFERENCE OUT [options]
int apply_command(const std::vector<std::string>& args);     // PACKAGE TRANSFORM OUT [--error-conditions N]
int show_command(const std::vector<std::string>& args);      // TRANSFORM [PACKAGE] [--json]
int check_command(const std::vector<std::string>& args);     // PACKAGE TRANSFORM
int edit_command(const std::vector<std::string>& args);      // PACKAGE OUT (STATEMENT... | -f FILE) [options]
int rebase_command(const std::vector<std::string>& args);    // OLD TRANSFORM NEW OUT [--json]

// A flag word given to `option`: decimal or 0x hex, 0 to 65535.
int parse_number(const std::string& option, const std::string& text);

// Arguments the command cannot use: status 2 with this message.
struct usage_error {
    std::string message;
};

}  // namespace msi_transform
