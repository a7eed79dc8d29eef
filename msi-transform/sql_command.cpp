#include "commands.h"
#include "console.h"
#include "statement_reader.h"

#include "msi/automation.h"
#include "msi/inspection.h"
#include "system/text_conversion.h"

namespace msi_transform {

namespace {

bool is_select(std::string_view statement) {
    const auto start = statement.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || statement.size() - start < 6) return false;
    std::string word(statement.substr(start, 6));
    for (auto& c : word) c = static_cast<char>(c & ~0x20);
    return word == "SELECT";
}

// The selected rows, tab-separated, one a line.
void append_rows(msi::View& view, std::string& out) {
    while (auto record = view.Fetch()) {
        for (int f = 1; f <= record->FieldCount(); ++f) {
            if (f > 1) out += '\t';
            if (record->field(f).type == msi::Record::field_value::kind::stream)
                out += msi::inspect::stream_digest(record->ReadStream(f, record->DataSize(f)));
            else
                out += msi::inspect::escape_field(sys::utf16_to_utf8(record->StringData(f)));
        }
        out += '\n';
    }
}

}  // namespace

int sql_command(const std::vector<std::string>& args) {
    if (args.size() < 2) throw usage_error{"sql needs a package and at least one statement"};
    statement_reader statements({args.begin() + 1, args.end()});
    std::string_view statement;
    if (!statements.next(statement)) throw usage_error{"sql found no statement to run"};
    msi::Installer installer;
    auto db = installer.OpenDatabase(sys::from_fs_path(args[0]), msi::msiOpenDatabaseModeTransact);
    // Every statement runs in memory first: one that fails leaves the
    // package as it was, with none of the others written either.
    bool changed = false;
    std::string out;
    std::size_t number = 1;
    do {
        try {
            auto view = db->OpenView(sys::utf8_to_utf16(statement));
            view->Execute(nullptr);
            if (is_select(statement))
                append_rows(*view, out);
            else
                changed = true;
        } catch (const msi::automation_error& e) {
            // A lone statement's error needs no number.
            if (number == 1 && !statements.next(statement)) throw;
            throw msi::automation_error(e.code(), "statement " + std::to_string(number) + ": " + e.what() +
                                                      " Nothing was written to the package.");
        }
        ++number;
    } while (statements.next(statement));
    // Only statements that change something make the package be written.
    if (changed) db->Commit();
    write_out(out);
    return 0;
}

}  // namespace msi_transform
