#pragma once
// The names derived from a chosen package path by the Windows path rules:
// the working copy beside it and the transform named after it.
#include <string>

namespace installer {

// drive + directory + file name + "_Tmp" + extension
std::u16string working_copy_path(const std::u16string& package_path);
// For a package whose folder cannot take the working copy: the same name with
// a mark of the package's full path (so that two packages of one name do not
// meet, and two windows on one package do), in `folder`.
std::u16string working_copy_path_in(const std::u16string& folder, const std::u16string& package_path);
// drive + directory + file name + ".mst"
std::u16string transform_path(const std::u16string& package_path);

}  // namespace installer
