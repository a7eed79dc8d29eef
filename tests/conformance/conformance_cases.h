#pragma once
// The conformance table: statements across the whole SQL of the installer,
// its modify modes and its errors, each case judged against msi.dll.
#include "conformance/statement_script.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace conformance {

// Builds the fixture packages the cases name (msibuild and wixl) in `dir`.
std::map<std::string, std::filesystem::path> build_fixtures(const std::filesystem::path& dir);

std::vector<statement_case> conformance_cases();

// Where our engine is known to answer otherwise than msi.dll: what is not
// built yet, or an undocumented answer chosen otherwise, with the reason.
// Empty for every other case.
std::string known_difference(const statement_case& c);

}  // namespace conformance
