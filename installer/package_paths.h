#pragma once
// The names derived from a chosen package path by the Windows path rules:
// the working copy beside it and the transform named after it.
#include <string>

namespace installer {

// drive + directory + file name + "_Tmp" + extension
std::u16string working_copy_path(const std::u16string& package_path);
// drive + directory + file name + ".mst"
std::u16string transform_path(const std::u16string& package_path);

}  // namespace installer
