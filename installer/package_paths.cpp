#include "installer/package_paths.h"

#include "system/path_parts.h"

namespace installer {

std::u16string working_copy_path(const std::u16string& package_path) {
    auto parts = sys::split_path(package_path);
    parts.file_name += u"_Tmp";
    return sys::make_path(parts);
}

std::u16string transform_path(const std::u16string& package_path) {
    auto parts = sys::split_path(package_path);
    parts.extension = u".mst";
    return sys::make_path(parts);
}

}  // namespace installer
