#include "app/command_line.h"

#include "installer/settings_text.h"

#include <string_view>

namespace {

parsed_command_line fail(std::string message) { return {std::nullopt, std::move(message)}; }

parsed_command_line only(command_line::mode what) {
    command_line c;
    c.what = what;
    return {c, {}};
}

}  // namespace

parsed_command_line parse_command_line(int argc, char** argv) {
    command_line c;
    std::vector<std::filesystem::path> packages;
    bool show = false, generate = false, options_ended = false;
    bool window_only = true;  // no option that belongs to the job without a window yet
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (options_ended || arg.empty() || arg.front() != '-' || arg == "-") {
            packages.emplace_back(std::string(arg));
            continue;
        }
        if (arg == "--") {
            options_ended = true;
        } else if (arg == "--help" || arg == "-h") {
            return only(command_line::mode::help);
        } else if (arg == "--version") {
            return only(command_line::mode::version);
        } else if (arg == "--show") {
            show = true;
        } else if (arg == "--generate") {
            generate = true;
        } else if (arg == "--agree-to-terms") {
            c.agree_to_terms = true;
            window_only = false;
        } else if (arg == "--continue-from" || arg == "--settings" || arg == "--set" || arg == "--output") {
            const char* v = value();
            if (!v) return fail(std::string(arg) + " needs a value");
            window_only = false;
            if (arg == "--continue-from")
                c.continue_from = v;
            else if (arg == "--settings")
                c.settings_file = v;
            else if (arg == "--set")
                c.assignments.emplace_back(v);
            else
                c.output = v;
        } else {
            return fail("unknown option '" + std::string(arg) + "' (see --help)");
        }
    }
    if (show && generate) return fail("--show and --generate exclude each other");
    if (packages.size() > 1) return fail("one package at a time, not " + std::to_string(packages.size()));
    if (!packages.empty()) c.package = packages.front();

    if (show || generate) {
        if (c.package.empty()) return fail(std::string(show ? "--show" : "--generate") + " needs a package");
        c.what = show ? command_line::mode::show : command_line::mode::generate;
        if (show && (!c.settings_file.empty() || !c.assignments.empty() || !c.output.empty() || c.agree_to_terms))
            return fail("--show takes only a package and --continue-from");
        return {c, {}};
    }
    if (!window_only) return fail("these options need --show or --generate (see --help)");
    return {c, {}};
}

std::string command_line_help() {
    std::string text =
        "Usage:\n"
        "  quorlin-deploy [PACKAGE.msi]\n"
        "      Opens the window, with PACKAGE loaded as if chosen with \"Browse...\".\n"
        "  quorlin-deploy --show PACKAGE.msi [--continue-from T.mst]\n"
        "      Prints every setting as the pages show it after loading, and the two\n"
        "      agreement addresses.\n"
        "  quorlin-deploy --generate PACKAGE.msi --agree-to-terms [--continue-from T.mst]\n"
        "                 [--settings FILE] [--set NAME=VALUE]... [--output OUT.mst]\n"
        "      Loads as --show does, applies FILE (lines as --show prints them) and then\n"
        "      each --set, writes the settings as \"Generate MST File\" does and writes\n"
        "      the transform (default: <package base name>.mst beside the package).\n"
        "      --agree-to-terms: you agree to the Quorlin Terms of Service and Privacy\n"
        "      Policy of the package; without it nothing is generated.\n"
        "  --continue-from T.mst  start from the settings an earlier transform holds\n"
        "  --help, --version\n"
        "Neither --show nor --generate needs a display.\n"
        "Exit status: 0 written (or shown), 1 no differences (nothing written),\n"
        "2 error (nothing written).\n"
        "Settings and their values:\n";
    for (const auto& line : deployment::settings_help_lines()) text += "  " + line + "\n";
    return text;
}
