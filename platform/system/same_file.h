#pragma once
// Whether two paths name one file: the same file on disk when both exist,
// otherwise the same place once links and "." / ".." are resolved. Used to
// refuse writing an output over one of the inputs.
#include <filesystem>

namespace sys {

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace sys
