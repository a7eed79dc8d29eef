#pragma once
// Where an opened compound file's bytes come from: a file, read with
// positioned reads as chains come to need them, or bytes held in memory
// (read-only: a storage opened from memory is written with save_as). Both
// raise ERROR_OPEN_FAILED, with the same messages, for what they cannot read.
#include "system/file_handle.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace msi::cfb {

class byte_source {
public:
    byte_source() = default;
    static byte_source file(const std::filesystem::path& path);  // opened read-only
    static byte_source memory(std::shared_ptr<const std::vector<std::uint8_t>> bytes);

    bool in_memory() const { return bytes_ != nullptr; }
    // The open file; closed for bytes in memory.
    const sys::file_handle& file() const { return file_; }
    std::uint64_t size() const;
    void read_exact(std::uint64_t offset, void* buffer, std::size_t size) const;

private:
    sys::file_handle file_;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
};

}  // namespace msi::cfb
