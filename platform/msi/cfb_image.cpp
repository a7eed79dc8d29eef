#include "msi/cfb_image.h"

#include "msi/cfb_sibling_tree.h"

#include <algorithm>
#include <bit>

namespace msi::cfb {

std::unique_ptr<image> image::open(const std::filesystem::path& path) {
    std::unique_ptr<image> img(new image);
    img->path_ = path;
    img->file_ = file_handle::open_read(path);
    img->file_size_ = img->file_.size();
    if (img->file_size_ < header_size) fail_open("not a compound file (too short)");
    std::uint8_t bytes[header_size];
    img->file_.read_exact(0, bytes, header_size);
    img->header_ = header::parse(bytes);
    if (img->file_size_ <= img->sector_size()) fail_open("compound file is truncated");
    img->read_header_fat_locations();
    img->read_directory();
    return img;
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
    fat_ = allocation_table(sector_size() / 4, header_.fat_count,
                            [self](std::uint32_t index, std::uint32_t* entries) { self->load_fat_sector(index, entries); });
    // The header's slots cost nothing to check; a DIFAT sector is read when
    // a FAT sector it lists is needed.
    fat_sectors_.assign(header_.fat_count, unknown_location);
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
        fail_open(mark == fat_sector_mark ? "FAT does not cover its own sectors" : "FAT does not cover the DIFAT sectors");
    if (!table_locations_.emplace(s, mark).second) fail_open("FAT sector list names one sector twice");
    // The table must describe its own sectors; writers that forgot to mark
    // them get the marks in memory so that nothing is ever allocated there.
    if (fat_.is_loaded(s / fat_.entries_per_sector())) fat_.correct(s, mark);
}

void image::follow_difat_link() const {
    const std::uint32_t current = next_difat_;
    if (current >= sectors_in_file() || sector_offset(current) + sector_size() > file_size_)
        fail_open("DIFAT chain is broken or leaves the file");
    if (auto seen = table_locations_.find(current); seen != table_locations_.end())
        fail_open(seen->second == difat_sector_mark ? "DIFAT chain loops" : "FAT sector list names one sector twice");
    add_table_location(current, difat_sector_mark, "DIFAT sector");
    difat_sectors_.push_back(current);
    difat_taken_.push_back(false);
    // Only the link, in the sector's last slot; its entries are read when needed.
    std::uint8_t link[4];
    file_.read_exact(sector_offset(current) + sector_size() - 4, link, 4);
    next_difat_ = get32(link);
}

void image::take_difat_entries(std::uint32_t j, bool in_bulk) const {
    const std::uint32_t ss = sector_size();
    const std::uint32_t per_sector = ss / 4 - 1;  // the last slot links to the next DIFAT sector
    std::vector<std::uint8_t> buffer(ss);
    file_.read_exact(sector_offset(difat_sectors_[j]), buffer.data(), ss);
    const std::uint64_t first = header_difat_slots + std::uint64_t(j) * per_sector;
    const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(header_.fat_count - first, per_sector));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t s = get32(&buffer[4 * i]);
        if (!in_bulk) {
            add_table_location(s, fat_sector_mark, "FAT sector");
        } else if (s >= sectors_in_file() || sector_offset(s) + ss > file_size_) {
            fail_open("FAT sector " + std::to_string(s) + " lies outside the file");
        } else if (s >= fat_.size()) {
            fail_open("FAT does not cover its own sectors");
        }
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
    file_.read_exact(sector_offset(s), entries, sector_size());
    if constexpr (std::endian::native != std::endian::little)
        for (std::uint32_t i = 0; i < fat_.entries_per_sector(); ++i)
            entries[i] = get32(reinterpret_cast<const std::uint8_t*>(&entries[i]));
    const std::uint64_t per = fat_.entries_per_sector(), first = index * per;
    for (auto it = table_locations_.lower_bound(static_cast<std::uint32_t>(first));
         it != table_locations_.end() && it->first < first + per; ++it)
        entries[it->first - first] = it->second;
}

void image::load_all_tables() const {
    // The DIFAT sectors not read yet, then the FAT sectors, in runs of
    // adjacent sectors; the marks of the table's own sectors are set once
    // at the end rather than looked up per sector.
    const std::uint32_t per_difat = sector_size() / 4 - 1;
    for (std::uint64_t j = 0; header_difat_slots + j * per_difat < fat_sectors_.size(); ++j) {
        while (difat_sectors_.size() <= j) follow_difat_link();
        if (!difat_taken_[j]) take_difat_entries(static_cast<std::uint32_t>(j), true);
    }
    const std::uint32_t ss = sector_size();
    std::vector<std::uint8_t> buffer;
    for (std::uint32_t k = 0; k < fat_.sector_count();) {
        if (fat_.is_loaded(k)) {
            ++k;
            continue;
        }
        std::uint32_t run = 1;
        while (k + run < fat_.sector_count() && run < 256 && !fat_.is_loaded(k + run) &&
               fat_sectors_[k + run] == fat_sectors_[k] + run)
            ++run;
        buffer.resize(std::size_t(run) * ss);
        file_.read_exact(sector_offset(fat_sectors_[k]), buffer.data(), buffer.size());
        for (std::uint32_t i = 0; i < run; ++i) fat_.fill(k + i, &buffer[std::size_t(i) * ss]);
        k += run;
    }
    for (std::uint32_t s : fat_sectors_) fat_.correct(s, fat_sector_mark);
    for (std::uint32_t s : difat_sectors_) fat_.correct(s, difat_sector_mark);
    const mini_structures& m = mini();
    for (std::uint32_t k = 0; k < m.minifat.sector_count(); ++k) m.minifat.at(k * m.minifat.entries_per_sector());
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
        file_.read_exact(sector_offset(s), buffer.data(), ss);
        for (std::uint32_t k = 0; k < per; ++k)
            entries_.push_back(directory_entry::parse(&buffer[k * entry_size],
                                                      static_cast<std::uint32_t>(entries_.size())));
    }
    directory_walk walk = walk_directory(entries_);
    reachable_ = std::move(walk.reachable);
    for (std::uint32_t id : walk.root_children) {
        if (!root_children_.emplace(entries_[id].name, id).second)
            fail_open("compound file has two entries named '" + printable_name(entries_[id].name) + "'");
    }
}

}  // namespace msi::cfb
