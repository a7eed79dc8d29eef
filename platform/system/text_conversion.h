#pragma once
// UTF-8 <-> UTF-16, and UTF-16 paths <-> the file system's paths. Invalid
// sequences in text become U+FFFD rather than failing. A path keeps every
// byte the file system gave it: bytes that are not UTF-8 travel as lone
// surrogates (U+DC80 to U+DCFF) and become the same bytes again, so only
// text shown to a person loses them.
#include <filesystem>
#include <string>
#include <string_view>

namespace sys {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);

std::filesystem::path to_fs_path(std::u16string_view path);
std::u16string from_fs_path(const std::filesystem::path& path);

}  // namespace sys
