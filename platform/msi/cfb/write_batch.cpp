#include "msi/cfb/write_batch.h"

#include <algorithm>

namespace msi::cfb {

void write_batch::add(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    if (size > 0) pieces_.push_back({offset, data, size});
}

void write_batch::add_copy(std::uint64_t offset, std::vector<std::uint8_t> data) {
    owned_.push_back(std::move(data));
    add(offset, owned_.back().data(), owned_.back().size());
}

void write_batch::add_zeros(std::uint64_t offset, std::size_t size) {
    add_copy(offset, std::vector<std::uint8_t>(size, 0));
}

std::uint64_t write_batch::flush(sys::file_handle& file) {
    std::sort(pieces_.begin(), pieces_.end(), [](const piece& a, const piece& b) { return a.offset < b.offset; });
    std::uint64_t end = 0;
    std::size_t i = 0;
    while (i < pieces_.size()) {
        std::uint64_t start = pieces_[i].offset;
        std::uint64_t next = start;
        std::vector<iovec> run;
        while (i < pieces_.size() && pieces_[i].offset == next) {
            run.push_back({const_cast<std::uint8_t*>(pieces_[i].data), pieces_[i].size});
            next += pieces_[i].size;
            ++i;
        }
        file.write_gather(start, std::move(run));
        end = std::max(end, next);
    }
    pieces_.clear();
    owned_.clear();
    return end;
}

}  // namespace msi::cfb
