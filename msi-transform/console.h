#pragma once
// Standard output and error through C stdio. Scripts start the tool once per
// statement, and the iostreams' start-up (the standard streams and the
// classic locale's facets) would cost each start about half a millisecond.
#include <string_view>

namespace msi_transform {

void write_out(std::string_view text);
void write_err(std::string_view text);
// Writes out what standard output still holds; the system's error number
// of the first write to it that failed, or 0.
int finish_output();

}  // namespace msi_transform
