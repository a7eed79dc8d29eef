#pragma once
#include <cstddef>
#include <string>

// Converts `length` bytes of UTF-8 into UTF-16 with the system's conversion:
// malformed sequences become U+FFFD. Input the conversion refuses (no text,
// or a length beyond a signed 32-bit count) raises std::system_error with
// std::errc::invalid_argument and the text "Conversion check has been failed".
std::u16string utf8_to_utf16(const char* text, std::size_t length);
