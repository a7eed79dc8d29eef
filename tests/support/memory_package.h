#pragma once
// Packages made in memory by the engine's own database layer from the same
// description build_msi takes: no tool runs and no file is written. For the
// tests whose point is not agreement with another writer; those keep
// build_msi. Statements (`queries`) are not run here: a description with
// any is refused.
#include "support/fixture_package.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace test_support {

using package_bytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// The package's bytes. Throws std::runtime_error for a description it cannot make.
package_bytes make_msi(const msi_source& source);

// The same package written to `out` (replacing it), for tests that commit.
void write_msi(const std::filesystem::path& out, const msi_source& source);

}  // namespace test_support
