#include "console.h"

#include <cerrno>
#include <cstdio>

namespace msi_transform {
namespace {

int first_out_error = 0;

}  // namespace

void write_out(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && first_out_error == 0)
        first_out_error = errno != 0 ? errno : EIO;
}

int finish_output() {
    if (std::fflush(stdout) != 0 && first_out_error == 0) first_out_error = errno != 0 ? errno : EIO;
    return first_out_error;
}

void write_err(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

}  // namespace msi_transform
