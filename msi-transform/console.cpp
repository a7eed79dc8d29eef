#include "console.h"

#include <cstdio>

namespace msi_transform {

void write_out(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void write_err(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

}  // namespace msi_transform
