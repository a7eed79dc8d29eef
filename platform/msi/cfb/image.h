#pragma once
// The structures of an opened compound file as held in memory: header,
// directory, and, read as chains come to need them, the FAT with its DIFAT,
// the MiniFAT and the mini stream's sector list. Stream contents stay on
// disk (or in the caller's memory) until read. Opening reads the header, the directory and the few
// table sectors that describe the directory, whatever the file's size.
#include "msi/cfb/allocation_table.h"
#include "msi/cfb/byte_source.h"
#include "msi/cfb/directory_entry.h"
#include "msi/cfb/header.h"
#include "msi/cfb/name_order.h"
#include "msi/cfb/table_sector_marks.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <span>
#include <vector>

namespace msi::cfb {

struct mini_structures {
    std::vector<std::uint32_t> minifat_chain;  // regular sectors holding the MiniFAT
    allocation_table minifat{128};             // its sectors read when needed
    std::vector<std::uint32_t> stream_chain;   // regular sectors holding the mini stream
};

class image {
public:
    // Reads the header and the directory. Raises ERROR_OPEN_FAILED; damage
    // met later, in a table sector a chain needs, raises it from that read.
    static std::unique_ptr<image> open(const std::filesystem::path& path);
    // The same for a compound file's bytes in memory; its path is empty.
    static std::unique_ptr<image> open(std::shared_ptr<const std::vector<std::uint8_t>> bytes);

    const std::filesystem::path& path() const { return path_; }
    bool in_memory() const { return source_.in_memory(); }
    std::uint64_t file_size() const { return file_size_; }
    std::uint32_t sector_size() const { return header_.sector_size; }
    std::uint32_t entries_per_sector() const { return sector_size() / entry_size; }
    const std::vector<directory_entry>& entries() const { return entries_; }
    const std::map<std::u16string, std::uint32_t, name_less>& root_children() const { return root_children_; }

    // A stream's size as this file's version defines it.
    std::uint64_t stream_size(std::uint32_t id) const;
    bool in_mini_stream(std::uint64_t size) const { return size < header_.mini_cutoff; }
    // Follows the stream's chain and reads it. Raises ERROR_OPEN_FAILED for a
    // broken chain or data outside the file.
    // With room reserved for `room` more bytes behind the content.
    std::vector<std::uint8_t> read_stream(std::uint32_t id, std::size_t room = 0) const;
    // Reads out.size() bytes of the stream from offset (which must lie within it).
    void read_stream_part(std::uint32_t id, std::uint64_t offset, std::span<std::uint8_t> out) const;
    // The sectors (or mini sectors) of a stream, checked against its size.
    std::vector<std::uint32_t> stream_sectors(std::uint32_t id) const;

    // Sectors that exist in the file (a last, partial sector counts).
    std::uint32_t sectors_in_file() const;
    std::uint64_t sector_offset(std::uint32_t sector) const { return (std::uint64_t(sector) + 1) * sector_size(); }

    // Raises file_changed_error when the file at the path, or the open file
    // itself, is no longer what was read at opening or written by the last
    // commit. Bytes in memory never change.
    void check_unchanged() const;
    // Drops the bytes read ahead of small reads, and reads none ahead while
    // `writing`: a commit writes into the file.
    void forget_read_ahead(bool writing) const;

    // Raises ERROR_FUNCTION_FAILED when two chains (streams, directory,
    // tables) share a sector: freeing one would break the other. Checked
    // once; commits never create such sharing. Reads the whole DIFAT and
    // MiniFAT into memory, and the FAT through a window: it keeps only
    // which FAT sectors hold free entries, for allocation to look at.
    // Raises ERROR_OPEN_FAILED for damage met in the tables.
    void check_no_shared_sectors() const;

private:
    // Reads part of a stream whose sectors are already known (and checked).
    void read_sectors(std::uint32_t id, const std::vector<std::uint32_t>& sectors, std::uint64_t offset,
                      std::span<std::uint8_t> out) const;
    friend class committer;
    image() = default;

    void read_structures();
    void read_header_fat_locations();
    // Where the FAT's sector `index` lies, reading the DIFAT as far as needed.
    std::uint32_t fat_sector_location(std::uint32_t index) const;
    void follow_difat_link() const;
    void take_difat_entries(std::uint32_t difat_index) const;
    // Reads every DIFAT sector not read yet: every FAT sector's place known.
    void complete_difat() const;
    void add_table_location(std::uint32_t sector, std::uint32_t mark, const char* what) const;
    void load_fat_sector(std::uint32_t index, std::uint32_t* entries) const;
    // Sets the marks of the table's own sectors among `count` FAT entries
    // from `first` on, as read from the file.
    void mark_table_sectors(std::uint32_t first, std::uint32_t* entries, std::size_t count) const;
    class fat_window;
    // Reads a few bytes of the file (a table sector, a link) through the
    // block read ahead around the last such read.
    void read_small(std::uint64_t offset, void* out, std::size_t size) const;
    void read_directory();
    const mini_structures& mini() const;  // loads on first use
    std::string label(std::uint32_t id) const;

    std::filesystem::path path_;
    byte_source source_;
    // The block last read around a small read, and where it starts.
    mutable std::vector<std::uint8_t> read_ahead_;
    mutable std::uint64_t read_ahead_at_ = 0;
    mutable bool writing_ = false;
    std::uint64_t file_size_ = 0;
    header header_;
    // Where the FAT's sectors lie, in order (unknown_location until the
    // DIFAT sector that lists it is read), and the DIFAT chain as far as
    // followed, with which of its sectors were read. Complete after
    // complete_difat().
    static constexpr std::uint32_t unknown_location = free_sector;
    mutable std::vector<std::uint32_t> fat_sectors_;
    mutable std::vector<std::uint32_t> difat_sectors_;
    mutable std::vector<bool> difat_taken_;
    mutable std::uint32_t next_difat_ = end_of_chain;  // the DIFAT sector to follow next
    // Every FAT and DIFAT sector found so far, with the mark its FAT entry
    // must hold.
    mutable table_sector_marks table_locations_;
    allocation_table fat_;
    std::vector<std::uint32_t> directory_chain_;
    std::vector<directory_entry> entries_;
    std::vector<bool> reachable_;
    std::map<std::u16string, std::uint32_t, name_less> root_children_;
    sys::file_identity identity_;  // at opening, then after each commit
    bool broken_ = false;          // a commit failed half-way; memory and file may disagree
    mutable bool sharing_checked_ = false;
    mutable std::optional<mini_structures> mini_;
};

}  // namespace msi::cfb
