#pragma once
// Fixture packages built at test time by real tools: msitools' msibuild from
// .idt text tables, or wixl from WiX source. Both throw std::runtime_error
// with the tool's own message when it fails.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

// One table in the .idt text form: a line of column names, a line of column
// types, a line with the table name and its key columns, then one line per
// row, fields separated by tabs. A code page is set with the table
// "_ForceCodepage" whose text is "\n\n<code page>\t_ForceCodepage\n".
struct idt_table {
    std::string name;  // the file is written as <name>.idt
    std::string text;
};

struct summary_info {
    std::string title = "Quorlin test package";
    std::string author = "Quorlin tests";
    std::string template_text = "Intel;1033";
    std::string package_code = "{6D2C1A10-3E1B-4F1C-9D5A-0C7E2B4A9F01}";
};

struct msi_source {
    std::vector<idt_table> tables;
    // Extra files written beside the .idt files before the import, for
    // binary cells (path relative to the table folder, e.g. "Binary/logo.bin").
    std::vector<std::pair<std::string, std::string>> files;
    // Streams added with "msibuild -a NAME FILE"; the bytes are written to a file first.
    std::vector<std::pair<std::string, std::string>> streams;
    // SQL run with "msibuild -q" after the imports.
    std::vector<std::string> queries;
    summary_info summary;
};

// Builds `out` (replacing it) with msibuild from `source`.
void build_msi(const std::filesystem::path& out, const msi_source& source);

// Builds `out` with wixl from WiX source text; `defines` are passed as -D NAME=VALUE.
void build_msi_from_wxs(const std::filesystem::path& out, const std::string& wxs_text,
                        const std::vector<std::string>& defines = {});

// Builds `out` with wixl from a .wxs file on disk.
void build_msi_from_wxs_file(const std::filesystem::path& out, const std::filesystem::path& wxs,
                             const std::vector<std::string>& defines = {});

// A product built by wixl with one file, readme.txt, and the shortcuts
// DesktopReadme (DesktopFolder) and MenuReadme (ProgramMenuFolder) to it;
// the Property table has DT_SHORTCUT = 1.
void build_msi_with_shortcuts(const std::filesystem::path& out);

// Property and Registry tables in .idt form from (name, value) pairs, for the
// common case of small test packages. Registry rows get keys reg1, reg2, ...
// under HKLM\Software\Quorlin and the component "MainComponent".
idt_table property_table(const std::vector<std::pair<std::string, std::string>>& rows);
idt_table registry_table(const std::vector<std::pair<std::string, std::string>>& name_value_rows);

}  // namespace test_support
