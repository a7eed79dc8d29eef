#include "msi/cfb_image.h"

#include <bit>

namespace msi::cfb {
namespace {

// Joins reads that are adjacent both in the file and in the output.
class coalescing_reader {
public:
    explicit coalescing_reader(const file_handle& file) : file_(file) {}
    void add(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
        if (size_ > 0 && offset == offset_ + size_ && out == out_ + size_) {
            size_ += size;
            return;
        }
        flush();
        offset_ = offset;
        out_ = out;
        size_ = size;
    }
    void flush() {
        if (size_ > 0) file_.read_exact(offset_, out_, size_);
        size_ = 0;
    }

private:
    const file_handle& file_;
    std::uint64_t offset_ = 0;
    std::uint8_t* out_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace

std::string image::label(std::uint32_t id) const {
    return "stream '" + printable_name(entries_[id].name) + "'";
}

std::uint64_t image::stream_size(std::uint32_t id) const {
    std::uint64_t size = entries_[id].size;
    // Version 3 writers may leave garbage in the high half.
    return header_.major_version == 3 ? (size & 0xFFFFFFFFull) : size;
}

const mini_structures& image::mini() const {
    if (mini_) return *mini_;
    const std::uint32_t ss = sector_size();
    mini_structures m;
    if (header_.first_minifat != end_of_chain && header_.first_minifat != free_sector) {
        m.minifat_chain = fat_.chain(header_.first_minifat, sectors_in_file(), std::nullopt, "MiniFAT");
        for (std::uint32_t s : m.minifat_chain)
            if (sector_offset(s) + ss > file_size_) fail_open("MiniFAT runs past the end of the file");
    }
    // The MiniFAT's own sectors are read when a small stream's chain needs them.
    m.minifat = allocation_table(ss / 4, static_cast<std::uint32_t>(m.minifat_chain.size()),
                                 [this](std::uint32_t index, std::uint32_t* entries) {
                                     file_.read_exact(sector_offset(mini_->minifat_chain[index]), entries, sector_size());
                                     if constexpr (std::endian::native != std::endian::little)
                                         for (std::uint32_t i = 0; i < sector_size() / 4; ++i)
                                             entries[i] = get32(reinterpret_cast<const std::uint8_t*>(&entries[i]));
                                 });
    std::uint64_t root_size = stream_size(0);
    if (root_size > 0) {
        if (root_size > file_size_) fail_open("mini stream runs past the end of the file");
        m.stream_chain = fat_.chain(entries_[0].start, sectors_in_file(), std::nullopt, "mini stream");
        if (std::uint64_t(m.stream_chain.size()) * ss < root_size)
            fail_open("mini stream: sector chain is shorter than its size");
    }
    mini_ = std::move(m);
    return *mini_;
}

std::vector<std::uint32_t> image::stream_sectors(std::uint32_t id) const {
    const std::uint64_t size = stream_size(id);
    if (size == 0) return {};
    if (size > file_size_) fail_open(label(id) + " runs past the end of the file");
    if (in_mini_stream(size)) {
        const mini_structures& m = mini();
        std::uint64_t mini_count = (stream_size(0) + mini_sector_size - 1) / mini_sector_size;
        auto limit = static_cast<std::uint32_t>(std::min<std::uint64_t>(mini_count, m.minifat.size()));
        return m.minifat.chain(entries_[id].start, limit, (size + mini_sector_size - 1) / mini_sector_size,
                               label(id));
    }
    return fat_.chain(entries_[id].start, sectors_in_file(), (size + sector_size() - 1) / sector_size(),
                      label(id));
}

std::vector<std::uint8_t> image::read_stream(std::uint32_t id) const {
    const std::vector<std::uint32_t> sectors = stream_sectors(id);
    const std::uint64_t size = stream_size(id);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size));
    coalescing_reader reader(file_);
    std::uint64_t done = 0;
    if (in_mini_stream(size)) {
        const mini_structures& m = mini();
        const std::uint32_t ss = sector_size();
        for (std::uint32_t mini_sector : sectors) {
            std::uint64_t position = std::uint64_t(mini_sector) * mini_sector_size;
            std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(mini_sector_size, size - done));
            std::uint64_t host = position / ss;
            if (host >= m.stream_chain.size() || position + piece > stream_size(0))
                fail_open(label(id) + " runs past the end of the mini stream");
            std::uint64_t offset = sector_offset(m.stream_chain[host]) + position % ss;
            if (offset + piece > file_size_) fail_open(label(id) + " runs past the end of the file");
            reader.add(offset, out.data() + done, piece);
            done += piece;
        }
    } else {
        const std::uint32_t ss = sector_size();
        for (std::uint32_t sector : sectors) {
            std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(ss, size - done));
            std::uint64_t offset = sector_offset(sector);
            if (offset + piece > file_size_) fail_open(label(id) + " runs past the end of the file");
            reader.add(offset, out.data() + done, piece);
            done += piece;
        }
    }
    reader.flush();
    return out;
}

}  // namespace msi::cfb
