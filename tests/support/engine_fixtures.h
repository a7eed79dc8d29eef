#pragma once
// Packages for the engine tests, built by real tools, and small helpers
// around the automation facade.
#include "msi/automation.h"
#include "support/fixture_package.h"
#include "support/memory_package.h"
#include "system/text_conversion.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace engine_test {

// A table with one column of every kind: string key, nullable string,
// localizable string, 2- and 4-byte integers (nullable and not) and a
// binary column whose first row holds "hello binary".
test_support::idt_table kinds_table();

// Property, Registry (two rows share the name "Shared") and the kinds table.
test_support::msi_source standard_source();

// Builds `out` with Wine's own msidb (Windows Installer's import) from .idt
// files written in `code_page` bytes, under a locale whose ANSI code page is
// that code page, so that non-ASCII text is stored exactly as Windows would.
// `tables` hold UTF-8 text and are converted here.
void build_msi_with_wine(const std::filesystem::path& out, int code_page, const std::string& locale,
                         const std::vector<test_support::idt_table>& tables);

// The single string value that `sql` selects ("" when no row matches).
std::u16string select_one(msi::Database& db, const std::u16string& sql);
// Every row that `sql` selects, fields as UTF-8 (streams as their bytes) joined by tabs.
std::vector<std::string> select_all(msi::Database& db, const std::u16string& sql);
// Runs an UPDATE with optional parameters.
void execute(msi::Database& db, const std::u16string& sql, const std::vector<std::u16string>& params = {});

std::shared_ptr<msi::Database> open(const std::filesystem::path& path, int mode);
// A package's bytes opened in memory: changes are seen but cannot be committed.
std::shared_ptr<msi::Database> open(const test_support::package_bytes& bytes, int mode);

// The code of the automation error `f` raises (its message in `message`), 0 when it raises none.
msi::hresult error_of(const std::function<void()>& f, std::string* message = nullptr);

// The dump's lines sorted, so that dumps compare whatever the row order.
std::string sorted_lines(const std::string& dump);
// A dump with one line replaced, sorted as sorted_lines does: what a full
// dump must become after one change.
std::string replace_line(std::string dump, const std::string& old_line, const std::string& new_line);

}  // namespace engine_test
