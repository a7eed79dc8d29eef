#pragma once
// The system's language: the system-wide default locale (LANG in
// /etc/default/locale, else in /etc/locale.conf), never the user's own
// environment.
#include <filesystem>
#include <string>
#include <vector>

namespace sys {

// The files read, in order; the first that sets LANG decides.
std::vector<std::filesystem::path> default_locale_files();

// Replaces the files read (tests point this at their own file); an empty list
// restores the default. The environment variable QUORLIN_SYSTEM_LOCALE_FILE,
// when set, does the same for a whole process (used by tests that start the
// program).
void set_locale_files(std::vector<std::filesystem::path> files);

// Two upper-case letters ("DE" for de_DE.UTF-8); "EN" when no locale is set,
// the locale is C or POSIX, or its language is not two letters.
std::string system_language_code();
std::string system_language_code(const std::vector<std::filesystem::path>& files);

}  // namespace sys
