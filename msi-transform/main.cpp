// msi-transform: dump tables, run SQL and generate transforms with the
// project's installer engine.
#include "commands.h"
#include "console.h"

#include "msi/automation.h"
#include "msi/automation_error.h"
#include "msi/inspection.h"
#include "system/prefault.h"
#include "system/text_conversion.h"

#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace msi_transform {

int dump_command(const std::vector<std::string>& args) {
    if (args.empty()) throw usage_error{"dump needs a package"};
    msi::Installer installer;
    auto db = installer.OpenDatabase(sys::from_fs_path(args[0]), msi::msiOpenDatabaseModeReadOnly);
    std::vector<std::u16string> tables;
    for (std::size_t i = 1; i < args.size(); ++i) tables.push_back(sys::utf8_to_utf16(args[i]));
    write_out(msi::inspect::dump_tables(*db, tables));
    return 0;
}

}  // namespace msi_transform

namespace {

const char* const help_text =
    "usage: msi-transform dump PACKAGE.msi [TABLE...]\n"
    "       msi-transform sql PACKAGE.msi (STATEMENT | -f FILE)...\n"
    "       msi-transform generate NEW.msi REFERENCE.msi OUT.mst [--error-conditions N] [--validation N]\n"
    "       msi-transform apply PACKAGE.msi TRANSFORM.mst OUT.msi [--error-conditions N]\n"
    "       msi-transform edit PACKAGE.msi OUT.mst (STATEMENT... | -f FILE) [--property NAME=VALUE]...\n"
    "                     [--error-conditions N] [--validation N]\n"
    "       msi-transform show TRANSFORM.mst [PACKAGE.msi] [--json] [--recipe]\n"
    "       msi-transform check PACKAGE.msi TRANSFORM.mst [--deny CLASS,...]\n"
    "       msi-transform rebase OLD.msi T.mst NEW.msi OUT.mst [--json]\n"
    "       msi-transform --version\n"
    "\n"
    "dump      print the named tables, or every table, one line per row, sorted,\n"
    "          tab-separated, with a header line of column names and types\n"
    "sql       run each statement (SELECT, INSERT, UPDATE, DELETE, CREATE TABLE,\n"
    "          ALTER TABLE, DROP TABLE; -f FILE: one a line, - for standard input)\n"
    "          against the package, commit all changes or none, and print SELECT\n"
    "          rows tab-separated\n"
    "generate  write the transform that turns REFERENCE into NEW, with its summary\n"
    "          information; N are the error conditions to suppress and the\n"
    "          validation flags (decimal or 0x hex, default 0)\n"
    "apply     write PACKAGE with TRANSFORM applied to OUT (a new file, never PACKAGE\n"
    "          or TRANSFORM); N are the error conditions to suppress, by default\n"
    "          those the transform's summary information names\n"
    "show      print what the transform does: its summary information, then per\n"
    "          table the rows it adds, removes and changes; with PACKAGE, old\n"
    "          values beside the new; then each change in a class: runs-code,\n"
    "          identity, system, properties, interface or other; --json for\n"
    "          scripts; --recipe (with PACKAGE) the msiexec command line and the\n"
    "          product's codes, version, name and public properties once applied\n"
    "check     say whether TRANSFORM fits PACKAGE (the checks its validation flags\n"
    "          ask for) and applies without an error condition it does not suppress;\n"
    "          --deny makes each change of the named classes a reason\n"
    "edit      write the transform that the statements (one a line in FILE, - for\n"
    "          standard input) and the property settings (a Property row updated or\n"
    "          added) make to PACKAGE; PACKAGE is not written\n"
    "rebase    carry the changes T makes to OLD onto NEW as OUT, made for NEW, and\n"
    "          report each: carried, carried over a vendor change, dropped, or a\n"
    "          conflicting add; --json for scripts\n"
    "\n"
    "Exit status: 0 success; 1 generate or edit found no differences (no file written),\n"
    "or check found reasons, one a line, or rebase has items to review or\n"
    "nothing left to carry; 2 any error, with a one-line message on standard\n"
    "error.\n";

std::string one_line(std::string text) {
    for (auto& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

int fail(const std::string& message) {
    msi_transform::write_err("msi-transform: " + one_line(message) + "\n");
    return 2;
}

int run(std::vector<std::string> args) {
    if (args.empty()) {
        msi_transform::write_err(help_text);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        msi_transform::write_out(help_text);
        return 0;
    }
    if (args[0] == "--version") {
        msi_transform::write_out("msi-transform " QUORLIN_VERSION "\n");
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    try {
        if (command == "dump") return msi_transform::dump_command(args);
        if (command == "sql") return msi_transform::sql_command(args);
        if (command == "generate") return msi_transform::generate_command(args);
        if (command == "apply") return msi_transform::apply_command(args);
        if (command == "show") return msi_transform::show_command(args);
        if (command == "check") return msi_transform::check_command(args);
        if (command == "edit") return msi_transform::edit_command(args);
        if (command == "rebase") return msi_transform::rebase_command(args);
        return fail("unknown command '" + command + "' (see --help)");
    } catch (const msi_transform::usage_error& e) {
        return fail(e.message + " (see --help)");
    } catch (const msi::automation_error& e) {
        return fail(e.what());
    } catch (const std::exception& e) {
        return fail(e.what());
    } catch (...) {
        return fail("unexpected failure");
    }
}

}  // namespace

int main(int argc, char** argv) {
    // One job, then exit. Fresh memory costs a page fault a page, tens of
    // microseconds each on a virtual machine: most of what a batch of SQL
    // statements costs on a large package, unless the pages are huge.
    sys::keep_one_heap_on_huge_pages(std::size_t{64} << 20);
    const int status = run(std::vector<std::string>(argv + 1, argv + argc));
    // Output waits in stdio's buffer: a full disk shows only when it is
    // written out, and must not end as success.
    if (const int error = msi_transform::finish_output(); error != 0)
        return fail(std::string("cannot write to standard output: ") + std::strerror(error));
    return status;
}
