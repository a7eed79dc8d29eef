#include "commands.h"

#include "msi/automation.h"
#include "msi/inspection.h"
#include "system/text_conversion.h"

#include <fstream>
#include <iostream>

namespace msi_transform {

namespace {

bool is_select(const std::string& statement) {
    const auto start = statement.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || statement.size() - start < 6) return false;
    std::string word = statement.substr(start, 6);
    for (auto& c : word) c = static_cast<char>(c & ~0x20);
    return word == "SELECT";
}

// The statements of a file (or of standard input for "-"), one a line;
// blank lines are skipped.
void read_statements(const std::string& file, std::vector<std::string>& out) {
    std::ifstream opened;
    if (file != "-") {
        opened.open(file, std::ios::binary);
        if (!opened) throw usage_error{"cannot read statements from '" + file + "'"};
    }
    std::istream& in = file == "-" ? std::cin : opened;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos) out.push_back(line);
    }
}

}  // namespace

int sql_command(const std::vector<std::string>& args) {
    if (args.size() < 2) throw usage_error{"sql needs a package and at least one statement"};
    std::vector<std::string> statements;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-f") {
            if (++i == args.size()) throw usage_error{"-f needs a file of statements, or - for standard input"};
            read_statements(args[i], statements);
        } else {
            statements.push_back(args[i]);
        }
    }
    if (statements.empty()) throw usage_error{"sql found no statement to run"};
    msi::Installer installer;
    auto db = installer.OpenDatabase(sys::from_fs_path(args[0]), msi::msiOpenDatabaseModeTransact);
    // Every statement runs in memory first: one that fails leaves the
    // package as it was, with none of the others written either.
    bool changed = false;
    std::string out;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        try {
            auto view = db->OpenView(sys::utf8_to_utf16(statements[i]));
            view->Execute(nullptr);
            if (!is_select(statements[i])) {
                changed = true;
                continue;
            }
            while (auto record = view->Fetch()) {
                for (int f = 1; f <= record->FieldCount(); ++f) {
                    if (f > 1) out += '\t';
                    if (record->field(f).type == msi::Record::field_value::kind::stream)
                        out += msi::inspect::stream_digest(record->ReadStream(f, record->DataSize(f)));
                    else
                        out += msi::inspect::escape_field(sys::utf16_to_utf8(record->StringData(f)));
                }
                out += '\n';
            }
        } catch (const msi::automation_error& e) {
            if (statements.size() == 1) throw;
            throw msi::automation_error(e.code(), "statement " + std::to_string(i + 1) + ": " + e.what() +
                                                      " Nothing was written to the package.");
        }
    }
    // Only statements that change something make the package be written.
    if (changed) db->Commit();
    std::cout << out;
    return 0;
}

}  // namespace msi_transform
