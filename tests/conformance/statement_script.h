#pragma once
// Cases of statements, run through our engine and written out as a script
// for the oracle (msi-oracle -x, tests/oracle/statement_script.c), with
// outcomes printed in the oracle's format so the two compare line by line.
#include <filesystem>
#include <string>
#include <vector>

namespace conformance {

// One directive of the oracle's script without its verb's line ending:
// {"SQL", statement, value...} or {"MODIFY", mode, query, "0"|"1", "N=value"...}.
// Values are "i:NUMBER", "s:TEXT" or "n".
using step = std::vector<std::string>;

struct statement_case {
    std::string fixture;              // a key of the fixture map
    std::vector<step> steps;          // run in order on one fresh copy
    std::vector<std::string> tables;  // dumped after the commit
    // Where Wine's msi.dll is known to differ from Windows: why, and the
    // oracle output Windows' documentation gives, which replaces Wine's.
    std::string wine_differs;
    std::string documented;
};

// Runs the case through the facade on a copy of `package` at `copy`, commits
// it, and returns the oracle's format up to and with the COMMIT line.
std::string run_ours(const statement_case& c, const std::filesystem::path& package, const std::filesystem::path& copy);

// The script directives of a case, for msi-oracle -x.
std::string script_lines(const std::string& name, const statement_case& c, const std::filesystem::path& package);

// Splits the oracle's output into the text of each case by name.
std::vector<std::pair<std::string, std::string>> split_cases(const std::string& output);

// Rows of steps without ORDER BY sorted, so that rows compare as multisets.
std::string normalized(const statement_case& c, const std::string& output);

}  // namespace conformance
