#pragma once
// The consent line's two link addresses: where they come from in a package,
// and which of them may be handed to the desktop's browser.
#include <optional>
#include <string>
#include <string_view>

#include "installer/deployment_settings.h"

// The text between `href="` and the next `">` of a package's hyperlink
// markup, taken as it stands (case-sensitive, double quotes only); nothing
// when the markup has no such pair.
using deployment::href_from_markup;

// An address that starts with "http://" or "https://", in any letter case.
// Anything else from a package (a local file, a program, another scheme) is
// not handed to the shell.
bool is_web_address(std::u16string_view address);
