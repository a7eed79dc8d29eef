#pragma once
// The installer's notation for a column: a letter for the kind (upper case
// when nullable) and the size, "s72", "L0", "I2"...
#include <string>

namespace msi {

struct column;

std::string column_notation(const column& c);

}  // namespace msi
