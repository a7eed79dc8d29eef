#pragma once
// The interface language: the system's language code and the module that
// holds the program's resources translated into it.
#include "system/loadable_module.h"

#include <string>

// The interface language as two upper-case letters: LC_ALL, LC_MESSAGES,
// LANG, then the system-wide default locale ("EN" when none is set).
std::string system_language_code();

// Loads lang/<CODE>/<application name><CODE>.so for the system's language
// and makes its resources the ones every window loads. Null (and the
// built-in English resources stay) for English, a language the program has
// no translation for, a missing module or one that cannot be loaded.
sys::module_handle load_language_module(const std::u16string& application_name);

// The module's relative path for a language code ("lang/DE/deployDE.so").
std::u16string language_module_path(const std::string& code, const std::u16string& application_name);
