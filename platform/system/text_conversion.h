#pragma once
// UTF-8 <-> UTF-16, and UTF-16 paths <-> the file system's paths. Invalid
// sequences become U+FFFD rather than failing.
#include <filesystem>
#include <string>
#include <string_view>

namespace sys {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);

std::filesystem::path to_fs_path(std::u16string_view path);
std::u16string from_fs_path(const std::filesystem::path& path);

}  // namespace sys
