#include "system/path_parts.h"

namespace sys {

namespace {

bool is_letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

path_parts split_path(std::u16string_view path) {
    path_parts parts;
    if (path.size() >= 2 && path[1] == u':' && is_letter(path[0])) {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    const auto last_separator = path.find_last_of(u"\\/");
    if (last_separator != std::u16string_view::npos) {
        parts.directory = path.substr(0, last_separator + 1);
        path.remove_prefix(last_separator + 1);
    }
    const auto dot = path.rfind(u'.');
    if (dot != std::u16string_view::npos) {
        parts.extension = path.substr(dot);
        path = path.substr(0, dot);
    }
    parts.file_name = path;
    return parts;
}

std::u16string make_path(const path_parts& parts) {
    std::u16string result = parts.drive;
    result += parts.directory;
    // Keep the separator style the directory already uses.
    if (!parts.directory.empty() && !is_separator(parts.directory.back()))
        result += parts.directory.find(u'/') != std::u16string::npos ? u'/' : u'\\';
    result += parts.file_name;
    if (!parts.extension.empty() && parts.extension.front() != u'.') result += u'.';
    result += parts.extension;
    return result;
}

}  // namespace sys
