#pragma once
// The system's refusals of file operations, as the engine reports them: the
// same message, with ERROR_OPEN_FAILED for reading, ERROR_CREATE_FAILED for
// opening a file to write and ERROR_FUNCTION_FAILED for writing.
#include "msi/automation_error.h"
#include "system/file_handle.h"

#include <utility>

namespace msi::cfb {

[[noreturn]] void raise_file_error(const sys::file_error& e);

// Runs `operation` (file_handle calls) and raises a file_error it meets as
// automation_error.
template <typename Operation>
decltype(auto) file_operation(Operation&& operation) {
    try {
        return std::forward<Operation>(operation)();
    } catch (const sys::file_error& e) {
        raise_file_error(e);
    }
}

}  // namespace msi::cfb
