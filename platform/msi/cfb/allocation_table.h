#pragma once
// A sector allocation table (the FAT, or the MiniFAT for 64-byte sectors):
// chain following with every check a hostile file needs, allocation of free
// entries, and a record of which table sectors changed.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace msi::cfb {

class allocation_table {
public:
    explicit allocation_table(std::uint32_t entries_per_sector = 128)
        : per_sector_(entries_per_sector) {}

    std::uint32_t entries_per_sector() const { return per_sector_; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(entries_.size()); }
    std::uint32_t sector_count() const { return size() / per_sector_; }
    std::uint32_t at(std::uint32_t index) const { return entries_[index]; }

    void reserve_sectors(std::size_t count) { entries_.reserve(count * per_sector_); }
    // Loading: appends one table sector as read; does not mark it changed.
    void append_sector(const std::uint8_t* bytes);
    // Loading: sets an entry without marking it changed.
    void correct(std::uint32_t index, std::uint32_t value) { entries_[index] = value; }

    // Appends a table sector of free entries, marked changed.
    void grow();
    void set(std::uint32_t index, std::uint32_t value);
    // A free entry, if any: the lowest one freed through set() or release()
    // since loading, else the first free one the scan has not passed yet.
    std::optional<std::uint32_t> find_free();
    void release(std::uint32_t index);

    void serialize_sector(std::uint32_t sector, std::uint8_t* out) const;
    const std::set<std::uint32_t>& changed_sectors() const { return changed_; }
    void clear_changed() { changed_.clear(); }

    // Follows a chain from `start` through entries below `limit` (the
    // number of sectors that exist). With `expected`, the chain must have
    // exactly that many sectors; without, it runs to its end. `what` names
    // the chain's owner in messages ("stream 'X'"). Raises ERROR_OPEN_FAILED.
    std::vector<std::uint32_t> chain(std::uint32_t start, std::uint32_t limit,
                                     std::optional<std::uint64_t> expected,
                                     const std::string& what) const;

private:
    std::uint32_t per_sector_;
    std::vector<std::uint32_t> entries_;
    std::set<std::uint32_t> changed_;
    // Entries freed since loading. Below scan_from_ every other entry is in
    // use, so a large file is scanned once, not on every allocation.
    std::set<std::uint32_t> released_;
    std::uint32_t scan_from_ = 0;
};

}  // namespace msi::cfb
