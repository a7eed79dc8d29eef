#pragma once
// Splitting and joining paths by the Windows rules, so that names derived
// from a chosen file ("<name>_Tmp<ext>", "<name>.mst") come out the same on
// every platform. No length limits are imposed.
#include <string>
#include <string_view>

namespace sys {

struct path_parts {
    std::u16string drive;      // a letter and a colon, or empty
    std::u16string directory;  // up to and including the last '\' or '/'
    std::u16string file_name;  // the final component without its extension
    std::u16string extension;  // from the last dot of the final component, dot included; may be empty
};

path_parts split_path(std::u16string_view path);

// drive + directory + file name + extension; a directory without a final
// separator gets one, an extension without its dot gets one.
std::u16string make_path(const path_parts& parts);

}  // namespace sys
