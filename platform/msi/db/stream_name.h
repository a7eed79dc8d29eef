#pragma once
// Names of streams inside a package as the installer stores them: pairs of
// identifier characters packed into one code unit, table streams marked by a
// leading U+4840.
#include <string>
#include <string_view>

namespace msi {

// The stored form of `name`; `is_table` prefixes the table marker. Names
// starting with U+0005 (summary information, signatures) are never encoded
// and come back unchanged.
std::u16string encode_stream_name(std::u16string_view name, bool is_table);

// The logical name of a stored stream name. `is_table`, when given, receives
// whether the table marker was present (the marker is not part of the result).
std::u16string decode_stream_name(std::u16string_view stored, bool* is_table = nullptr);

}  // namespace msi
