#pragma once
// The structures of an opened compound file as held in memory: header,
// FAT with its DIFAT, directory, and (loaded on first use) MiniFAT and the
// mini stream's sector list. Stream contents stay on disk until read.
#include "msi/cfb/allocation_table.h"
#include "msi/cfb/directory_entry.h"
#include "msi/cfb/file.h"
#include "msi/cfb/header.h"
#include "msi/cfb/name_order.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace msi::cfb {

struct mini_structures {
    std::vector<std::uint32_t> minifat_chain;  // regular sectors holding the MiniFAT
    allocation_table minifat{128};
    std::vector<std::uint32_t> stream_chain;  // regular sectors holding the mini stream
};

class image {
public:
    // Reads header, DIFAT, FAT and directory. Raises ERROR_OPEN_FAILED.
    static std::unique_ptr<image> open(const std::filesystem::path& path);

    const std::filesystem::path& path() const { return path_; }
    const file_handle& file() const { return file_; }
    std::uint64_t file_size() const { return file_size_; }
    std::uint32_t sector_size() const { return header_.sector_size; }
    std::uint32_t entries_per_sector() const { return sector_size() / entry_size; }
    const std::vector<directory_entry>& entries() const { return entries_; }
    const std::map<std::u16string, std::uint32_t, name_less>& root_children() const {
        return root_children_;
    }

    // A stream's size as this file's version defines it.
    std::uint64_t stream_size(std::uint32_t id) const;
    bool in_mini_stream(std::uint64_t size) const { return size < header_.mini_cutoff; }
    // Follows the stream's chain and reads it. Raises ERROR_OPEN_FAILED for a
    // broken chain or data outside the file.
    std::vector<std::uint8_t> read_stream(std::uint32_t id) const;
    // The sectors (or mini sectors) of a stream, checked against its size.
    std::vector<std::uint32_t> stream_sectors(std::uint32_t id) const;

    // Sectors that exist in the file (a last, partial sector counts).
    std::uint32_t sectors_in_file() const;
    std::uint64_t sector_offset(std::uint32_t sector) const {
        return (std::uint64_t(sector) + 1) * sector_size();
    }

    // Raises file_changed_error when the file at the path, or the open file
    // itself, is no longer what was read at opening or written by the last
    // commit.
    void check_unchanged() const;

    // Raises ERROR_FUNCTION_FAILED when two chains (streams, directory,
    // tables) share a sector: freeing one would break the other. Checked
    // once; commits never create such sharing.
    void check_no_shared_sectors() const;

private:
    friend class committer;
    image() = default;

    void read_fat_locations();
    void read_fat();
    void read_directory();
    const mini_structures& mini() const;  // loads on first use
    std::string label(std::uint32_t id) const;

    std::filesystem::path path_;
    file_handle file_;
    std::uint64_t file_size_ = 0;
    header header_;
    std::vector<std::uint32_t> fat_sectors_;    // where the FAT's sectors lie, in order
    std::vector<std::uint32_t> difat_sectors_;  // the DIFAT chain
    allocation_table fat_;
    std::vector<std::uint32_t> directory_chain_;
    std::vector<directory_entry> entries_;
    std::vector<bool> reachable_;
    std::map<std::u16string, std::uint32_t, name_less> root_children_;
    file_identity identity_;  // at opening, then after each commit
    bool broken_ = false;
    mutable bool sharing_checked_ = false;  // a commit failed half-way; memory and file may disagree
    mutable std::optional<mini_structures> mini_;
};

}  // namespace msi::cfb
