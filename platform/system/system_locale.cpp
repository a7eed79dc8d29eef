#include "system/system_locale.h"

#include <cstdlib>
#include <fstream>
#include <optional>

namespace sys {

namespace {

std::vector<std::filesystem::path>& overridden_files() {
    static std::vector<std::filesystem::path> files;
    return files;
}

std::string trim(std::string s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// The value of LANG in a shell-style assignment file, quotes removed.
std::optional<std::string> lang_in(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::optional<std::string> value;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.rfind("export ", 0) == 0) line = trim(line.substr(7));
        if (line.rfind("LANG=", 0) != 0) continue;
        std::string v = trim(line.substr(5));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        value = v;  // the last assignment wins, as in a shell
    }
    if (value && value->empty()) return std::nullopt;
    return value;
}

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::vector<std::filesystem::path> default_locale_files() {
    if (!overridden_files().empty()) return overridden_files();
    if (const char* file = std::getenv("QUORLIN_SYSTEM_LOCALE_FILE"); file && *file) return {file};
    return {"/etc/default/locale", "/etc/locale.conf"};
}

void set_locale_files(std::vector<std::filesystem::path> files) { overridden_files() = std::move(files); }

std::string language_code_of(const std::string& locale) {
    // language[_territory][.codeset][@modifier]
    const std::string language = locale.substr(0, locale.find_first_of("_.@"));
    if (language.size() != 2 || !is_ascii_letter(language[0]) || !is_ascii_letter(language[1])) return "EN";
    std::string code;
    for (char c : language) code.push_back(static_cast<char>(c & ~0x20));
    return code;
}

chosen_locale interface_locale() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return {value, variable};
    }
    for (const auto& file : default_locale_files()) {
        if (const auto lang = lang_in(file)) return {*lang, file.string()};
    }
    return {};
}

std::string system_language_code() { return language_code_of(interface_locale().locale); }

std::string system_language_code(const std::vector<std::filesystem::path>& files) {
    for (const auto& file : files) {
        if (const auto lang = lang_in(file)) return language_code_of(*lang);
    }
    return "EN";
}

}  // namespace sys
