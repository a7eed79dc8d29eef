#pragma once
// Packages for the transform tests: a base package built by msibuild from
// .idt text, and edited copies built the same way from changed text, so the
// "after" state comes from a tool we did not write.
#include "msi/automation.h"
#include "support/fixture_package.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace transform_test {

// A package's tables by name (.idt text) and its binary cell files.
struct package_text {
    std::map<std::string, std::string> tables;
    std::map<std::string, std::string> files;  // "Binary/logo.bin" -> bytes
    std::string template_text = "Intel;1033";
};

// Property, Registry, Binary, a table keyed by a short, and a table the
// edits drop; code page 1252.
package_text base_package();
// The base package with rows added, removed and changed in Property,
// Registry and Numbers: non-ASCII text, an emptied value, integer extremes.
package_text rows_changed_across_tables();

// The base package with a table of 33,000 rows, strings enough for ids
// past 0xFFFF, and one Property value changed.
package_text past_two_byte_ids();

// Replaces the row of `table` whose first field is `key` (tab-separated
// fields), appends it when absent; an empty `row` removes it.
void set_row(package_text& p, const std::string& table, const std::string& key, const std::string& row);

void build(const std::filesystem::path& out, const package_text& p);

// The same package made in memory by the engine, without msibuild, for the
// tests whose point is not agreement with it; `write` puts it in a file.
test_support::msi_source source_of(const package_text& p);
void write(const std::filesystem::path& out, const package_text& p);

std::shared_ptr<msi::Database> open_database(const std::filesystem::path& path,
                                             int mode = msi::msiOpenDatabaseModeReadOnly);

// GenerateTransform of `changed` against `reference` through the automation facade.
bool generate(const std::filesystem::path& changed, const std::filesystem::path& reference,
              const std::filesystem::path& transform);

// The oracle's dump of `base` with `transform` applied equals its dump of
// `expected`, table for table, and the list of tables too.
void expect_transform_gives(const std::filesystem::path& base, const std::filesystem::path& transform,
                            const std::filesystem::path& expected);

}  // namespace transform_test
