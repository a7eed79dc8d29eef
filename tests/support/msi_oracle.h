#pragma once
// The independent check: tests/oracle's msi-oracle runs the Windows Installer
// API (Wine's msi.dll) over a package and an optional transform.
// The first use in a process makes sure the Wine prefix exists (once, under a
// file lock, so that test programs started together do not race to create it)
// and keeps a wineserver alive for a while so that each call costs a fraction
// of a second.
#include "support/process.h"

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

std::filesystem::path msi_oracle_path();

// Runs the oracle with these arguments as they are.
process_result run_msi_oracle(const std::vector<std::string>& args);

// The oracle's dump of `package` (after applying `transform` when given), of
// the named tables or of every table. Throws std::runtime_error when the
// oracle fails, with its message.
std::string oracle_dump(const std::filesystem::path& package, const std::vector<std::string>& tables = {},
                        const std::filesystem::path& transform = {});

// The transform's summary information ("MSTSUMMARY\t<id>\t<value>" lines, -S).
std::string oracle_transform_summary(const std::filesystem::path& package, const std::filesystem::path& transform);

// The package's summary information ("SUMMARY\t<id>\t<value>" lines, -s),
// without the table dump.
std::string oracle_package_summary(const std::filesystem::path& package);

}  // namespace test_support
