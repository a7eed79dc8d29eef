#pragma once
// Collects positioned writes and issues them in file order, joining pieces
// that are adjacent in the file into one system call.
#include "system/file_handle.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace msi::cfb {

class write_batch {
public:
    // `data` must stay alive until flush(); pieces must not overlap.
    void add(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
    // Copies `data` into the batch.
    void add_copy(std::uint64_t offset, std::vector<std::uint8_t> data);
    void add_zeros(std::uint64_t offset, std::size_t size);

    // Writes everything and returns the end of the furthest piece.
    std::uint64_t flush(sys::file_handle& file);
    bool empty() const { return pieces_.empty(); }

private:
    struct piece {
        std::uint64_t offset;
        const std::uint8_t* data;
        std::size_t size;
    };
    std::vector<piece> pieces_;
    std::deque<std::vector<std::uint8_t>> owned_;
};

}  // namespace msi::cfb
