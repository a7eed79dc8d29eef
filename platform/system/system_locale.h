#pragma once
// The interface language, chosen as Linux programs choose the language of
// their messages: LC_ALL, then LC_MESSAGES, then LANG (empty variables are
// skipped), then the system-wide default locale (LANG in /etc/default/locale,
// else in /etc/locale.conf).
#include <filesystem>
#include <string>
#include <vector>

namespace sys {

// The files read for the system default, in order; the first that sets LANG
// decides.
std::vector<std::filesystem::path> default_locale_files();

// Replaces the files read (tests point this at their own file); an empty list
// restores the default. The environment variable QUORLIN_SYSTEM_LOCALE_FILE,
// when set, does the same for a whole process (used by tests that start the
// program).
void set_locale_files(std::vector<std::filesystem::path> files);

// The locale that decides and where it came from: the variable's name, or the
// file's path for the system default; both empty when nothing sets one.
struct chosen_locale {
    std::string locale;
    std::string source;
};
chosen_locale interface_locale();

// Two upper-case letters ("DE" for de_DE.UTF-8); "EN" when no locale is set,
// the locale is C or POSIX, or its language is not two letters.
std::string language_code_of(const std::string& locale);

// The language of interface_locale().
std::string system_language_code();
// The language of the system default alone, from these files.
std::string system_language_code(const std::vector<std::filesystem::path>& files);

}  // namespace sys
