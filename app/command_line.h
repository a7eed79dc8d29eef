#pragma once
// What the program was asked to do on its command line. Paths are kept as
// the system gave them (bytes), never re-encoded.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct command_line {
    enum class mode {
        window,    // the main window, with `package` loaded when one was given
        show,      // print the settings a load gives
        generate,  // write a transform without a window
        help,
        version,
    } what = mode::window;

    std::filesystem::path package;        // may be empty in window mode
    std::filesystem::path continue_from;  // an earlier transform to start from
    std::filesystem::path settings_file;
    std::vector<std::string> assignments;  // --set, in order
    std::filesystem::path output;
    bool agree_to_terms = false;
};

// The request, or the message that says what is wrong with the arguments.
struct parsed_command_line {
    std::optional<command_line> request;
    std::string error;
};

parsed_command_line parse_command_line(int argc, char** argv);

// The text of --help: usage, options, every setting and its values.
std::string command_line_help();
