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
inline constexpr std::uint32_t ERROR_INSTALL_LANGUAGE_UNSUPPORTED = 1623;
inline constexpr std::uint32_t ERROR_CREATE_FAILED = 1631;
inline constexpr std::uint32_t ERROR_FUNCTION_FAILED = 1627;
inline constexpr std::uint32_t ERROR_INVALID_DATA = 13;
inline constexpr std::uint32_t ERROR_FILE_INVALID = 1006;
inline constexpr std::uint32_t ERROR_INVALID_DATATYPE = 1804;

class automation_error : public std::runtime_error {
public:
    automation_error(hresult code, const std::string& message) : std::runtime_error(message), code_(code) {}
    hresult code() const noexcept { return code_; }

private:
    hresult code_;
};

// An opened database file that another program changed or replaced: reading
// on through the layout read at opening would give wrong data, so nothing more
// is read from it or written to it.
class file_changed_error : public automation_error {
public:
    explicit file_changed_error(const std::string& path)
        : automation_error(hresult_from_win32(ERROR_FILE_INVALID),
                           "The MSI file was changed by another program after it was opened. Open it again.\n" + path),
          path_(path) {}
    const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
};

// A readable transform that does not fit the database: it changes a table
// the database lacks, declares a column that differs from the table's own...
class transform_misfit_error : public automation_error {
public:
    explicit transform_misfit_error(const std::string& message)
        : automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE), message) {}
};

// A condition met and not suppressed.
class transform_condition_error : public transform_misfit_error {
public:
    transform_condition_error(int condition, const std::string& message)
        : transform_misfit_error(message), condition_(condition) {}
    int condition() const noexcept { return condition_; }

private:
    int condition_;
};

}  // namespace msi
