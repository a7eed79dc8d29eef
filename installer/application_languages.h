#pragma once
#include "installer/language_entry.h"

#include <array>

// The languages the installed application can start in, in list order.
extern const std::array<language_entry, 7> application_languages;

// Selected when the General page is created, and the answer when nothing is.
extern const language_entry& default_language;
