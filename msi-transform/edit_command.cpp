// msi-transform edit: the transform that statements and property settings
// make, without writing the package: both databases are opened read-only,
// the edits stay in memory, and only the transform is written.
#include "commands.h"
#include "console.h"
#include "statement_reader.h"

#include "msi/automation.h"
#include "system/same_file.h"
#include "system/text_conversion.h"

#include <string_view>

namespace msi_transform {

namespace {

struct edit_arguments {
    std::vector<std::string> files;  // PACKAGE, OUT
    std::vector<std::string> statements;
    std::vector<std::pair<std::string, std::string>> properties;
    int error_conditions = 0, validation = 0;
};

// One statement a line; blank lines are skipped. "-" reads standard input.
std::vector<std::string> statement_lines(const std::string& file) {
    statement_reader reader({"-f", file});
    std::vector<std::string> lines;
    for (std::string_view statement; reader.next(statement);) lines.emplace_back(statement);
    return lines;
}

edit_arguments parse(const std::vector<std::string>& args) {
    edit_arguments e;
    bool from_file = false, on_command_line = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takes_value = a == "-f" || a == "--property" || a == "--error-conditions" || a == "--validation";
        if (takes_value && i + 1 >= args.size()) throw usage_error{a + " needs a value"};
        if (a == "-f") {
            const auto lines = statement_lines(args[++i]);
            e.statements.insert(e.statements.end(), lines.begin(), lines.end());
            from_file = true;
        } else if (a == "--property") {
            const std::string& setting = args[++i];
            const auto eq = setting.find('=');
            // Property values cannot be empty (the Value column takes no
            // NULL); a property is removed with a DELETE statement instead.
            if (eq == std::string::npos || eq == 0 || eq + 1 == setting.size())
                throw usage_error{"--property needs NAME=VALUE with both given, not '" + setting + "'"};
            e.properties.emplace_back(setting.substr(0, eq), setting.substr(eq + 1));
        } else if (a == "--error-conditions" || a == "--validation") {
            (a == "--error-conditions" ? e.error_conditions : e.validation) = parse_number(a, args[++i]);
        } else if (a.rfind("--", 0) == 0) {
            throw usage_error{"unknown option " + a};
        } else if (e.files.size() < 2) {
            e.files.push_back(a);
        } else {
            e.statements.push_back(a);
            on_command_line = true;
        }
    }
    if (from_file && on_command_line)
        throw usage_error{"edit takes statements from -f or from the command line, not both"};
    if (e.files.size() != 2) throw usage_error{"edit needs PACKAGE.msi and OUT.mst"};
    if (e.statements.empty() && e.properties.empty() && !from_file)
        throw usage_error{"edit needs a statement, -f FILE or --property NAME=VALUE"};
    return e;
}

// The Property row of that name gets the value: updated when it exists,
// inserted when it does not. Bound as parameters, so any text is a value.
void set_property(msi::Database& db, const std::string& name, const std::string& value) {
    msi::Record key(1);
    key.SetStringData(1, sys::utf8_to_utf16(name));
    auto lookup = db.OpenView(u"SELECT `Property` FROM `Property` WHERE `Property` = ?");
    lookup->Execute(&key);
    const bool exists = lookup->Fetch() != nullptr;
    lookup->Close();
    msi::Record params(2);
    if (exists) {
        params.SetStringData(1, sys::utf8_to_utf16(value));
        params.SetStringData(2, sys::utf8_to_utf16(name));
        db.OpenView(u"UPDATE `Property` SET `Value` = ? WHERE `Property` = ?")->Execute(&params);
    } else {
        params.SetStringData(1, sys::utf8_to_utf16(name));
        params.SetStringData(2, sys::utf8_to_utf16(value));
        db.OpenView(u"INSERT INTO `Property` (`Property`, `Value`) VALUES (?, ?)")->Execute(&params);
    }
}

}  // namespace

int edit_command(const std::vector<std::string>& args) {
    const edit_arguments e = parse(args);
    // File names stay the bytes they were given.
    const std::filesystem::path package_path(e.files[0]), out_path(e.files[1]);
    if (sys::same_file(out_path, package_path)) throw usage_error{"OUT.mst may not be the package itself"};
    const auto package = sys::from_fs_path(package_path);
    const auto out = sys::from_fs_path(out_path);

    msi::Installer installer;
    auto reference = installer.OpenDatabase(package, msi::msiOpenDatabaseModeReadOnly);
    auto edited = installer.OpenDatabase(package, msi::msiOpenDatabaseModeReadOnly);
    for (const auto& statement : e.statements) {
        try {
            edited->OpenView(sys::utf8_to_utf16(statement))->Execute(nullptr);
        } catch (const msi::automation_error& failure) {
            throw msi::automation_error(failure.code(), statement + ": " + failure.what());
        }
    }
    for (const auto& [name, value] : e.properties) set_property(*edited, name, value);

    // Written whole with its summary information and moved over OUT in one
    // step, as generate writes it; nothing is written when nothing changed.
    if (!edited->GenerateTransformWithSummary(reference, out, e.error_conditions, e.validation)) {
        write_err("msi-transform: the statements change nothing; no transform written\n");
        return 1;
    }
    return 0;
}

}  // namespace msi_transform
