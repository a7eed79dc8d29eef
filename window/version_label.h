#pragma once
// The version label's text: a translatable "{}" format with the program's
// version as its one argument.
#include <string>
#include <string_view>

// The formatted label; empty when `format` is not a format that takes one
// text argument (a broken translation must not stop the window).
std::u16string format_version_label(std::u16string_view format, std::u16string_view version);
