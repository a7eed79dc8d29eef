#pragma once
// Files the fuzz entries work on: one private folder per process, on a
// memory-backed file system when there is one.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fuzz_entry {

std::filesystem::path scratch_dir();
// Writes `data` to `name` inside the scratch folder and returns its path.
std::filesystem::path write_scratch(const std::string& name, const std::uint8_t* data, std::size_t size);
std::string read_file(const std::filesystem::path& file);

// The small package the SQL and apply entries work on, built once by msibuild.
std::filesystem::path sql_package();

// Stops the process with a message: the engine broke a promise. A handler,
// when set, is called first and may throw instead (the replay test does, to
// report the finding as a test failure).
[[noreturn]] void finding(const std::string& what);
using finding_handler = void (*)(const std::string& what);
void set_finding_handler(finding_handler handler);

}  // namespace fuzz_entry
