#pragma once
// The work each fuzz harness does with one input, shared by the libFuzzer
// harnesses and by the test that replays saved inputs. Every entry accepts
// any bytes: an input the engine rejects with automation_error is an ordinary
// outcome and returns normally. Anything else (another exception, a crash, a
// sanitizer report, an allocation beyond the fuzzer's limit) is a finding,
// and so is a broken promise of the engine, which the entries turn into an
// abort with a message on standard error.
#include <cstddef>
#include <cstdint>

namespace fuzz_entry {

// The input is a package, opened from memory in each mode: read every table
// through the engine and through SELECT * views, read every stream; its
// bytes must come out unchanged.
void open_package(const std::uint8_t* data, std::size_t size);

// The input is text: up to eight SQL statements, one a line, each prepared,
// executed with parameters and fetched against a small package built once by
// msibuild.
void run_sql(const std::uint8_t* data, std::size_t size);

// The input is a package: change a cell of every column of every table, add
// a row, commit, open the result again; it must read back exactly as it was
// before the commit.
void commit_package(const std::uint8_t* data, std::size_t size);

// The input is a package, opened twice from memory: change one as
// commit_package does (never committed) and generate a transform (with
// summary information) between it and the other; the transform must open
// again as a compound file.
void generate_transform(const std::uint8_t* data, std::size_t size);

// The input is a transform: apply it to the SQL entry's package, first with
// every error condition raised, then with every one suppressed. A refused
// transform must leave the database exactly as it was; an applied one must
// commit and read back the same; the transform file stays unchanged.
void apply_transform(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz_entry
