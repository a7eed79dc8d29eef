#pragma once
// The exception every failing call of the installer engine raises: an
// HRESULT-style code and a readable message, as the automation object would
// report them through its error information.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace msi {

using hresult = std::int32_t;

inline constexpr hresult E_POINTER = static_cast<hresult>(0x80004003);
inline constexpr hresult E_OUTOFMEMORY = static_cast<hresult>(0x8007000E);
inline constexpr hresult E_INVALIDARG = static_cast<hresult>(0x80070057);
inline constexpr hresult E_FAIL = static_cast<hresult>(0x80004005);

// The installer's own error numbers, carried as HRESULT_FROM_WIN32(n).
inline constexpr hresult hresult_from_win32(std::uint32_t error) {
    return error == 0 ? 0 : static_cast<hresult>((error & 0xFFFF) | 0x80070000u);
}
inline constexpr std::uint32_t ERROR_OPEN_FAILED = 110;
inline constexpr std::uint32_t ERROR_NO_DATA = 232;
inline constexpr std::uint32_t ERROR_BAD_QUERY_SYNTAX = 1615;
inline constexpr std::uint32_t ERROR_INVALID_TABLE = 1628;
inline constexpr std::uint32_t ERROR_INSTALL_PACKAGE_INVALID = 1620;
inline constexpr std::uint32_t ERROR_INSTALL_TRANSFORM_FAILURE = 1624;
inline constexpr std::uint32_t ERROR_CREATE_FAILED = 1631;
inline constexpr std::uint32_t ERROR_FUNCTION_FAILED = 1627;
inline constexpr std::uint32_t ERROR_INVALID_DATA = 13;

class automation_error : public std::runtime_error {
public:
    automation_error(hresult code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    hresult code() const noexcept { return code_; }

private:
    hresult code_;
};

}  // namespace msi
