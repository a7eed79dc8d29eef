#include "installer/package_paths.h"

#include "system/path_parts.h"

#include <cstdint>
#include <cstdio>

namespace installer {

std::u16string working_copy_path(const std::u16string& package_path) {
    auto parts = sys::split_path(package_path);
    parts.file_name += u"_Tmp";
    return sys::make_path(parts);
}

std::u16string working_copy_path_in(const std::u16string& folder, const std::u16string& package_path) {
    // FNV-1a: the same mark in every run and every build.
    std::uint64_t mark = 14695981039346656037ull;
    for (char16_t c : package_path) {
        mark = (mark ^ (c & 0xFF)) * 1099511628211ull;
        mark = (mark ^ (c >> 8)) * 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(mark));
    auto parts = sys::split_path(package_path);
    std::u16string name = parts.file_name + u"_Tmp-" + std::u16string(hex, hex + 16) + parts.extension;
    if (!folder.empty() && folder.back() != u'/') return folder + u"/" + name;
    return folder + name;
}

std::u16string transform_path(const std::u16string& package_path) {
    auto parts = sys::split_path(package_path);
    parts.extension = u".mst";
    return sys::make_path(parts);
}

}  // namespace installer
