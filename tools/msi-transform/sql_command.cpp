#include "commands.h"
#include "table_dump.h"

#include "msi/automation.h"
#include "msi/db/code_page.h"
#include "system/text_conversion.h"

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

}  // namespace

int sql_command(const std::vector<std::string>& args) {
    if (args.size() < 2) throw usage_error{"sql needs a package and at least one statement"};
    msi::Installer installer;
    auto db = installer.OpenDatabase(sys::from_fs_path(args[0]), msi::msiOpenDatabaseModeTransact);
    bool changed = false;
    std::string out;
    for (std::size_t i = 1; i < args.size(); ++i) {
        auto view = db->OpenView(sys::utf8_to_utf16(args[i]));
        view->Execute(nullptr);
        if (!is_select(args[i])) {
            changed = true;
            continue;
        }
        while (auto record = view->Fetch()) {
            for (int f = 1; f <= record->FieldCount(); ++f) {
                if (f > 1) out += '\t';
                out += escape_field(sys::utf16_to_utf8(record->StringData(f)));
            }
            out += '\n';
        }
    }
    // Only statements that change something make the package be written.
    if (changed) db->Commit();
    std::cout << out;
    return 0;
}

}  // namespace msi_transform
