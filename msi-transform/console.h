#pragma once
// Standard output and error through C stdio. Scripts start the tool once per
// statement, and the iostreams' start-up (the standard streams and the
// classic locale's facets) would cost each start about half a millisecond.
#include <string_view>

namespace msi_transform {

void write_out(std::string_view text);
void write_err(std::string_view text);

}  // namespace msi_transform
