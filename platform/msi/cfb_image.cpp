#include "msi/cfb_image.h"

#include "msi/cfb_sibling_tree.h"

#include <algorithm>

namespace msi::cfb {

std::unique_ptr<image> image::open(const std::filesystem::path& path) {
    std::unique_ptr<image> img(new image);
    img->path_ = path;
    img->file_ = file_handle::open_read(path);
    img->identity_ = img->file_.identity();
    img->file_size_ = img->file_.size();
    if (img->file_size_ < header_size) fail_open("not a compound file (too short)");
    std::uint8_t bytes[header_size];
    img->file_.read_exact(0, bytes, header_size);
    img->header_ = header::parse(bytes);
    if (img->file_size_ <= img->sector_size()) fail_open("compound file is truncated");
    img->read_fat_locations();
    img->read_fat();
    img->read_directory();
    return img;
}

void image::check_unchanged() const {
    const auto at_path = file_handle::identity_of(path_);
    if (!at_path || *at_path != identity_ || file_.identity() != identity_) throw file_changed_error(path_.string());
}

std::uint32_t image::sectors_in_file() const {
    std::uint64_t ss = sector_size();
    if (file_size_ <= ss) return 0;
    std::uint64_t count = (file_size_ - ss + ss - 1) / ss;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(count, max_regular_sector + 1ull));
}

void image::read_fat_locations() {
    const std::uint32_t available = sectors_in_file();
    const std::uint32_t ss = sector_size();
    if (header_.fat_count > available)
        fail_open("compound file lists " + std::to_string(header_.fat_count) +
                  " FAT sectors, more than the file holds");
    auto whole_sector = [&](std::uint32_t s) {
        return s < available && sector_offset(s) + ss <= file_size_;
    };
    auto take = [&](std::uint32_t s) {
        if (!whole_sector(s))
            fail_open("FAT sector " + std::to_string(s) + " lies outside the file");
        fat_sectors_.push_back(s);
    };
    fat_sectors_.reserve(header_.fat_count);
    std::uint32_t in_header = std::min<std::uint32_t>(header_.fat_count, header_difat_slots);
    for (std::uint32_t i = 0; i < in_header; ++i) take(header_.difat[i]);

    std::uint32_t remaining = header_.fat_count - in_header;
    const std::uint32_t per_sector = ss / 4 - 1;  // the last slot links to the next DIFAT sector
    std::uint32_t current = header_.first_difat;
    std::vector<std::uint8_t> buffer(ss);
    while (remaining > 0) {
        if (!whole_sector(current)) fail_open("DIFAT chain is broken or leaves the file");
        if (std::find(difat_sectors_.begin(), difat_sectors_.end(), current) != difat_sectors_.end())
            fail_open("DIFAT chain loops");
        file_.read_exact(sector_offset(current), buffer.data(), ss);
        difat_sectors_.push_back(current);
        std::uint32_t count = std::min(remaining, per_sector);
        for (std::uint32_t i = 0; i < count; ++i) take(get32(&buffer[4 * i]));
        remaining -= count;
        current = get32(&buffer[4 * per_sector]);
    }

    std::vector<std::uint32_t> all = fat_sectors_;
    all.insert(all.end(), difat_sectors_.begin(), difat_sectors_.end());
    std::sort(all.begin(), all.end());
    if (std::adjacent_find(all.begin(), all.end()) != all.end())
        fail_open("FAT sector list names one sector twice");
}

void image::read_fat() {
    const std::uint32_t ss = sector_size();
    fat_ = allocation_table(ss / 4);
    fat_.reserve_sectors(fat_sectors_.size());
    std::vector<std::uint8_t> buffer;
    std::size_t i = 0;
    while (i < fat_sectors_.size()) {
        // Read runs of adjacent FAT sectors at once.
        std::size_t run = 1;
        while (i + run < fat_sectors_.size() && run < 256 &&
               fat_sectors_[i + run] == fat_sectors_[i] + run)
            ++run;
        buffer.resize(run * ss);
        file_.read_exact(sector_offset(fat_sectors_[i]), buffer.data(), buffer.size());
        for (std::size_t k = 0; k < run; ++k) fat_.append_sector(&buffer[k * ss]);
        i += run;
    }
    // The table must describe its own sectors; writers that forgot to mark
    // them get the marks in memory so that nothing is ever allocated there.
    for (std::uint32_t s : fat_sectors_) {
        if (s >= fat_.size()) fail_open("FAT does not cover its own sectors");
        fat_.correct(s, fat_sector_mark);
    }
    for (std::uint32_t s : difat_sectors_) {
        if (s >= fat_.size()) fail_open("FAT does not cover the DIFAT sectors");
        fat_.correct(s, difat_sector_mark);
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
