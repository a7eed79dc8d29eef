#include "msi/cfb/image.h"
#include "msi/cfb/file_errors.h"
#include "msi/cfb/printable_name.h"

#include "msi/cfb/sibling_tree.h"
#include "system/prefault.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace msi::cfb {

std::unique_ptr<image> image::open(const std::filesystem::path& path) {
    std::unique_ptr<image> img(new image);
    img->path_ = path;
    img->source_ = byte_source::file(path);
    img->identity_ = file_operation([&] { return img->source_.file().identity(); });
    img->read_structures();
    return img;
}

std::unique_ptr<image> image::open(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    std::unique_ptr<image> img(new image);
    img->source_ = byte_source::memory(std::move(bytes));
    img->read_structures();
    return img;
}

void image::read_structures() {
    file_size_ = source_.size();
    if (file_size_ < header_size) fail_open("not a compound file (too short)");
    std::uint8_t bytes[header_size];
    source_.read_exact(0, bytes, header_size);
    header_ = header::parse(bytes);
    if (file_size_ <= sector_size()) fail_open("compound file is truncated");
    read_header_fat_locations();
    read_directory();
}

void image::check_unchanged() const {
    if (in_memory()) return;
    // The identity names the device and inode: a path that still shows it
    // shows the opened file itself, so its size and time are the file's.
    const auto at_path = sys::file_handle::identity_of(path_);
    if (!at_path || *at_path != identity_) throw file_changed_error(path_.string());
}

void image::read_small(std::uint64_t offset, void* out, std::size_t size) const {
    // A system call costs as much for a sector as for a block of them, and a
    // file's tables (allocation table, DIFAT, directory) lie close together:
    // a small read brings in the aligned block around it for the next ones.
    constexpr std::uint64_t block = 32 * 1024;
    if (in_memory() || writing_ || size > block / 4) return source_.read_exact(offset, out, size);
    if (offset < read_ahead_at_ || offset + size > read_ahead_at_ + read_ahead_.size()) {
        const std::uint64_t start = offset - offset % block;
        if (offset + size > start + block || start >= file_size_) return source_.read_exact(offset, out, size);
        read_ahead_.resize(static_cast<std::size_t>(std::min(block, file_size_ - start)));
        read_ahead_at_ = start;
        try {
            source_.read_exact(start, read_ahead_.data(), read_ahead_.size());
        } catch (...) {
            read_ahead_.clear();
            throw;
        }
        if (offset + size > read_ahead_at_ + read_ahead_.size()) return source_.read_exact(offset, out, size);
    }
    std::memcpy(out, read_ahead_.data() + (offset - read_ahead_at_), size);
}

void image::forget_read_ahead(bool writing) const {
    read_ahead_.clear();
    read_ahead_at_ = 0;
    writing_ = writing;
}

std::uint32_t image::sectors_in_file() const {
    std::uint64_t ss = sector_size();
    if (file_size_ <= ss) return 0;
    std::uint64_t count = (file_size_ - ss + ss - 1) / ss;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(count, max_regular_sector + 1ull));
}

void image::read_header_fat_locations() {
    if (header_.fat_count > sectors_in_file())
        fail_open("compound file lists " + std::to_string(header_.fat_count) +
                  " FAT sectors, more than the file holds");
    const image* self = this;
    fat_ = allocation_table(sector_size() / 4, header_.fat_count, [self](std::uint32_t index, std::uint32_t* entries) {
        self->load_fat_sector(index, entries);
    });
    // The header's slots cost nothing to check; a DIFAT sector is read when
    // a FAT sector it lists is needed.
    fat_sectors_.assign(header_.fat_count, unknown_location);
    table_locations_.reserve(sectors_in_file());
    const std::uint32_t in_header = std::min<std::uint32_t>(header_.fat_count, header_difat_slots);
    for (std::uint32_t i = 0; i < in_header; ++i) {
        add_table_location(header_.difat[i], fat_sector_mark, "FAT sector");
        fat_sectors_[i] = header_.difat[i];
    }
    next_difat_ = header_.first_difat;
}

void image::add_table_location(std::uint32_t s, std::uint32_t mark, const char* what) const {
    if (s >= sectors_in_file() || sector_offset(s) + sector_size() > file_size_)
        fail_open(std::string(what) + " " + std::to_string(s) + " lies outside the file");
    if (s >= fat_.size())
        fail_open(mark == fat_sector_mark ? "FAT does not cover its own sectors"
                                          : "FAT does not cover the DIFAT sectors");
    if (!table_locations_.add(s, mark)) fail_open("FAT sector list names one sector twice");
    // The table must describe its own sectors; writers that forgot to mark
    // them get the marks in memory so that nothing is ever allocated there.
    if (fat_.is_loaded(s / fat_.entries_per_sector())) fat_.correct(s, mark);
}

void image::follow_difat_link() const {
    const std::uint32_t current = next_difat_;
    if (current >= sectors_in_file() || sector_offset(current) + sector_size() > file_size_)
        fail_open("DIFAT chain is broken or leaves the file");
    if (auto seen = table_locations_.find(current))
        fail_open(*seen == difat_sector_mark ? "DIFAT chain loops" : "FAT sector list names one sector twice");
    add_table_location(current, difat_sector_mark, "DIFAT sector");
    difat_sectors_.push_back(current);
    difat_taken_.push_back(false);
    // Only the link, in the sector's last slot; its entries are read when needed.
    std::uint8_t link[4];
    read_small(sector_offset(current) + sector_size() - 4, link, 4);
    next_difat_ = get32(link);
}

void image::take_difat_entries(std::uint32_t j) const {
    const std::uint32_t ss = sector_size();
    const std::uint32_t per_sector = ss / 4 - 1;  // the last slot links to the next DIFAT sector
    std::vector<std::uint8_t> buffer(ss);
    read_small(sector_offset(difat_sectors_[j]), buffer.data(), ss);
    const std::uint64_t first = header_difat_slots + std::uint64_t(j) * per_sector;
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(header_.fat_count - first, per_sector));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t s = get32(&buffer[4 * i]);
        add_table_location(s, fat_sector_mark, "FAT sector");
        fat_sectors_[first + i] = s;
    }
    difat_taken_[j] = true;
}

std::uint32_t image::fat_sector_location(std::uint32_t index) const {
    if (fat_sectors_[index] != unknown_location) return fat_sectors_[index];
    const std::uint32_t j = (index - header_difat_slots) / (sector_size() / 4 - 1);
    while (difat_sectors_.size() <= j) follow_difat_link();
    if (!difat_taken_[j]) take_difat_entries(j);
    return fat_sectors_[index];
}

void image::load_fat_sector(std::uint32_t index, std::uint32_t* entries) const {
    const std::uint32_t s = fat_sector_location(index);
    read_small(sector_offset(s), entries, sector_size());
    mark_table_sectors(index * fat_.entries_per_sector(), entries, fat_.entries_per_sector());
}

void image::mark_table_sectors(std::uint32_t first, std::uint32_t* entries, std::size_t count) const {
    if constexpr (std::endian::native != std::endian::little)
        for (std::size_t i = 0; i < count; ++i) entries[i] = get32(reinterpret_cast<const std::uint8_t*>(&entries[i]));
    table_locations_.for_each_in(first, static_cast<std::uint32_t>(count),
                                 [&](std::uint32_t s, std::uint32_t mark) { entries[s - first] = mark; });
}

void image::complete_difat() const {
    const std::uint32_t per_difat = sector_size() / 4 - 1;
    for (std::uint64_t j = 0; header_difat_slots + j * per_difat < fat_sectors_.size(); ++j) {
        while (difat_sectors_.size() <= j) follow_difat_link();
        if (!difat_taken_[j]) take_difat_entries(static_cast<std::uint32_t>(j));
    }
}

void image::read_directory() {
    const std::uint32_t ss = sector_size();
    directory_chain_ = fat_.chain(header_.first_directory, sectors_in_file(), std::nullopt, "directory");
    if (directory_chain_.empty()) fail_open("compound file has no directory");
    std::vector<std::uint8_t> buffer(ss);
    const std::uint32_t per = entries_per_sector();
    entries_.reserve(directory_chain_.size() * per);
    for (std::uint32_t s : directory_chain_) {
        if (sector_offset(s) + ss > file_size_) fail_open("directory runs past the end of the file");
        read_small(sector_offset(s), buffer.data(), ss);
        for (std::uint32_t k = 0; k < per; ++k)
            entries_.push_back(
                directory_entry::parse(&buffer[k * entry_size], static_cast<std::uint32_t>(entries_.size())));
    }
    directory_walk walk = walk_directory(entries_);
    reachable_ = std::move(walk.reachable);
    for (std::uint32_t id : walk.root_children) {
        if (!root_children_.emplace(entries_[id].name, id).second)
            fail_open("compound file has two entries named '" + printable_name(entries_[id].name) + "'");
    }
}

namespace {

// Joins reads that are adjacent both in the file and in the output.
class coalescing_reader {
public:
    explicit coalescing_reader(const byte_source& source) : source_(source) {}
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
        if (size_ > 0) source_.read_exact(offset_, out_, size_);
        size_ = 0;
    }

private:
    const byte_source& source_;
    std::uint64_t offset_ = 0;
    std::uint8_t* out_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace

std::string image::label(std::uint32_t id) const { return "stream '" + printable_name(entries_[id].name) + "'"; }

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
                                     read_small(sector_offset(mini_->minifat_chain[index]), entries, sector_size());
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
        return m.minifat.chain(entries_[id].start, limit, (size + mini_sector_size - 1) / mini_sector_size, label(id));
    }
    return fat_.chain(entries_[id].start, sectors_in_file(), (size + sector_size() - 1) / sector_size(), label(id));
}

std::vector<std::uint8_t> image::read_stream(std::uint32_t id, std::size_t room) const {
    // The chain is checked against the size before memory is taken for it.
    const std::vector<std::uint32_t> sectors = stream_sectors(id);
    std::vector<std::uint8_t> out;
    const auto size = static_cast<std::size_t>(stream_size(id));
    sys::reserve_prefaulted(out, size + room);
    out.resize(size);
    read_sectors(id, sectors, 0, out);
    return out;
}

void image::read_stream_part(std::uint32_t id, std::uint64_t offset, std::span<std::uint8_t> out) const {
    const std::uint64_t size = stream_size(id);
    if (offset > size || out.size() > size - offset) fail_open(label(id) + " is shorter than the part asked for");
    read_sectors(id, stream_sectors(id), offset, out);
}

void image::read_sectors(std::uint32_t id, const std::vector<std::uint32_t>& sectors, std::uint64_t offset,
                         std::span<std::uint8_t> out) const {
    const std::uint64_t size = stream_size(id);
    const bool in_mini = in_mini_stream(size);
    const std::uint32_t ss = sector_size();
    const std::uint32_t unit = in_mini ? mini_sector_size : ss;
    coalescing_reader reader(source_);
    for (std::size_t done = 0; done < out.size();) {
        const std::uint64_t at = offset + done;
        const std::uint32_t within = static_cast<std::uint32_t>(at % unit);
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(unit - within, out.size() - done));
        std::uint64_t file_offset;
        if (in_mini) {
            const mini_structures& m = mini();
            const std::uint64_t position = std::uint64_t(sectors[at / unit]) * mini_sector_size + within;
            const std::uint64_t host = position / ss;
            if (host >= m.stream_chain.size() || position + piece > stream_size(0))
                fail_open(label(id) + " runs past the end of the mini stream");
            file_offset = sector_offset(m.stream_chain[host]) + position % ss;
        } else {
            file_offset = sector_offset(sectors[at / unit]) + within;
        }
        if (file_offset + piece > file_size_) fail_open(label(id) + " runs past the end of the file");
        reader.add(file_offset, out.data() + done, piece);
        done += piece;
    }
    reader.flush();
}

namespace {

[[noreturn]] void fail_shared(const std::string& what) {
    fail_write("compound file is damaged: " + what +
               " shares sectors with another chain or loops; it cannot be changed safely");
}

// One bit per sector: which sectors a chain has claimed.
class sector_set {
public:
    explicit sector_set(std::size_t size) : words_((size + 63) / 64, 0), size_(size) {}
    std::size_t size() const { return size_; }
    // True when any of the `count` sectors from `first` on is claimed;
    // claims them all.
    bool claim(std::uint32_t first, std::uint32_t count) {
        bool taken = false;
        for (std::size_t s = first, end = std::size_t(first) + count; s < end;) {
            const std::size_t bit = s % 64, n = std::min<std::size_t>(64 - bit, end - s);
            const std::uint64_t mask = (n == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << n) - 1)) << bit;
            taken = taken || (words_[s / 64] & mask) != 0;
            words_[s / 64] |= mask;
            s += n;
        }
        return taken;
    }

private:
    std::vector<std::uint64_t> words_;
    std::size_t size_;
};

void claim(sector_set& owned, const std::vector<std::uint32_t>& sectors, const char* what) {
    for (std::uint32_t s : sectors)
        if (s < owned.size() && owned.claim(s, 1)) fail_shared(what);
}

}  // namespace

// The stored FAT read a window of adjacent table sectors at a time into
// one buffer, so that reading it whole costs no memory per sector; the
// sectors the table holds already, perhaps changed, come from the table.
// On the way it learns which table sectors hold free entries.
class image::fat_window {
public:
    explicit fat_window(const image& img)
        : img_(img),
          per_(img.fat_.entries_per_sector()),
          most_(std::max<std::uint32_t>(1, window_bytes / img.sector_size())),
          buffer_(std::size_t(most_) * per_),
          holds_free_(img.fat_.sector_count(), 1) {}

    const std::uint32_t* entries_of(std::uint32_t k) {
        if (img_.fat_.is_loaded(k)) return img_.fat_.sector_entries(k);
        if (k < first_ || k >= first_ + count_) read_from(k);
        return buffer_.data() + std::size_t(k - first_) * per_;
    }
    std::uint32_t at(std::uint32_t index) { return entries_of(index / per_)[index % per_]; }
    // By table sector: 0 where a read found no free entry, else 1.
    std::vector<std::uint8_t> holds_free() && { return std::move(holds_free_); }

private:
    static constexpr std::uint32_t window_bytes = 64 * 1024;

    void read_from(std::uint32_t k) {
        const std::vector<std::uint32_t>& where = img_.fat_sectors_;
        std::uint32_t run = 1;
        while (run < most_ && k + run < img_.fat_.sector_count() && !img_.fat_.is_loaded(k + run) &&
               where[k + run] == where[k] + run)
            ++run;
        img_.source_.read_exact(img_.sector_offset(where[k]), buffer_.data(), std::size_t(run) * img_.sector_size());
        img_.mark_table_sectors(k * per_, buffer_.data(), std::size_t(run) * per_);
        first_ = k;
        count_ = run;
        for (std::uint32_t i = 0; i < run; ++i) holds_free_[k + i] = any_free(buffer_.data() + std::size_t(i) * per_);
    }

    // Most sectors hold no free entry and are read to the end: two entries
    // a 64-bit word, eight a step. An entry is free when all its bits are
    // set, that is when its half of the inverted word is zero.
    bool any_free(const std::uint32_t* entries) const {
        constexpr std::uint64_t ones = 0x0000000100000001ull, highs = 0x8000000080000000ull;
        for (std::uint32_t j = 0; j < per_; j += 8) {
            std::uint64_t words[4];
            std::memcpy(words, entries + j, sizeof words);
            std::uint64_t zero_half = 0;
            for (std::uint64_t w : words) zero_half |= (~w - ones) & w & highs;
            if (zero_half) return true;
        }
        return false;
    }

    const image& img_;
    const std::uint32_t per_;
    const std::uint32_t most_;  // table sectors a window holds
    std::vector<std::uint32_t> buffer_;
    std::uint32_t first_ = 0, count_ = 0;
    std::vector<std::uint8_t> holds_free_;
};

void image::check_no_shared_sectors() const {
    if (sharing_checked_) return;
    complete_difat();
    const mini_structures& m = mini();
    for (std::uint32_t k = 0; k < m.minifat.sector_count(); ++k) m.minifat.at(k * m.minifat.entries_per_sector());
    fat_window fat(*this);
    const std::uint32_t per = fat_.entries_per_sector();

    sector_set regular(fat_.size());
    claim(regular, fat_sectors_, "the FAT");
    claim(regular, difat_sectors_, "the DIFAT");
    claim(regular, directory_chain_, "the directory");
    claim(regular, m.minifat_chain, "the MiniFAT");
    claim(regular, m.stream_chain, "the mini stream");
    sector_set mini_owned(m.minifat.size());
    // Walks the sectors each stream's size covers, as far as they are valid,
    // a run of consecutive sectors at a time. Without building lists: a
    // cabinet's chain can have millions of sectors.
    for (std::uint32_t id = 1; id < entries_.size(); ++id) {
        if (!reachable_[id] || entries_[id].type != entry_type::stream) continue;
        const std::uint64_t size = stream_size(id);
        const bool small = in_mini_stream(size);
        sector_set& owned = small ? mini_owned : regular;
        const std::uint64_t unit = small ? mini_sector_size : sector_size();
        std::uint64_t left = (size + unit - 1) / unit;
        std::optional<std::uint32_t> last;
        for (std::uint32_t s = entries_[id].start; left > 0 && s < owned.size();) {
            const auto most = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, owned.size() - s));
            const std::uint32_t run =
                small ? m.minifat.run_length(s, most)
                      : chain_run_length([&](std::uint32_t k) { return fat.entries_of(k); }, per, fat_.size(), s, most);
            if (owned.claim(s, run)) fail_shared("stream '" + printable_name(entries_[id].name) + "'");
            left -= run;
            last = s + run - 1;
            s = small ? m.minifat.at(*last) : fat.at(*last);
        }
        // A chain may end on an entry marked free instead of end-of-chain,
        // which lenient readers pass over. Its sector is the stream's all
        // the same: marked in memory, it is never allocated to new data.
        if (last && small && m.minifat.at(*last) == free_sector) m.minifat.correct(*last, end_of_chain);
        if (last && !small && fat.at(*last) == free_sector) {
            fat_.sector_entries(*last / per);
            fat_.correct(*last, end_of_chain);
        }
    }
    // What the walks read of the FAT says where free entries are; the
    // sectors no chain passes through may hold some.
    fat_.note_free_entries(std::move(fat).holds_free());
    sharing_checked_ = true;
}

}  // namespace msi::cfb
