#pragma once
// Stream and storage names as they appear in messages.
#include <string>

namespace msi::cfb {

// UTF-8, with control characters and lone surrogates as \uXXXX, so a
// message never carries invalid text. Names are shown as stored: what a
// name means to the files kept in the compound file is not known here.
std::string printable_name(const std::u16string& name);

}  // namespace msi::cfb
