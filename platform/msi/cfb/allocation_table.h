#pragma once
// A sector allocation table (the FAT, or the MiniFAT for 64-byte sectors):
// chain following with every check a hostile file needs, allocation of free
// entries, and a record of which table sectors changed. A stored table is
// read one table sector at a time, when an entry in it is first needed, so
// that opening a large file does not read its whole table.
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace msi::cfb {

// How many sectors from `index` (below `size`) on follow each other in the
// file and in a chain, each entry naming the next sector: at least 1, at
// most `most`. `entries_of(k)` gives the entries of table sector k, each
// holding `per_sector` (a power of two).
template <typename EntriesOf>
std::uint32_t chain_run_length(EntriesOf&& entries_of, std::uint32_t per_sector, std::uint32_t size,
                               std::uint32_t index, std::uint32_t most);

class allocation_table {
public:
    // Fills the entries of one stored table sector (decoded) the first time
    // one of them is needed. May raise automation_error.
    using sector_loader = std::function<void(std::uint32_t table_sector, std::uint32_t* entries)>;

    // An empty table; `entries_per_sector` is a power of two.
    explicit allocation_table(std::uint32_t entries_per_sector = 128);
    // A stored table of `sector_count` sectors, read through `load`.
    allocation_table(std::uint32_t entries_per_sector, std::uint32_t sector_count, sector_loader load);

    std::uint32_t entries_per_sector() const { return per_sector_; }
    std::uint32_t size() const { return sector_count() * per_sector_; }
    std::uint32_t sector_count() const { return static_cast<std::uint32_t>(sectors_.size()); }
    std::uint32_t at(std::uint32_t index) const { return entries_of(index >> shift_)[index & (per_sector_ - 1)]; }

    bool is_loaded(std::uint32_t table_sector) const { return sectors_[table_sector] != nullptr; }
    // The entries of a table sector, loaded if need be.
    const std::uint32_t* sector_entries(std::uint32_t table_sector) const { return entries_of(table_sector); }
    // Sets an entry of a loaded sector without marking it changed: a
    // correction made on loading, which changes nothing the table answers.
    void correct(std::uint32_t index, std::uint32_t value) const {
        sectors_[index >> shift_][index & (per_sector_ - 1)] = value;
    }

    // Appends a table sector of free entries, marked changed.
    void grow();
    void set(std::uint32_t index, std::uint32_t value);
    // A free entry, if any: the lowest one freed through set() or release()
    // since loading, else the first free one the scan has not passed yet.
    std::optional<std::uint32_t> find_free();
    // Which stored table sectors hold a free entry (nonzero), as a reading
    // of the whole table found: the scan loads no other sector.
    void note_free_entries(std::vector<std::uint8_t> holds_free) const { holds_free_ = std::move(holds_free); }
    void release(std::uint32_t index);
    // Frees an entry in the table as written, but find_free() does not hand
    // it out until release_held(): a sector the last committed state uses
    // must not be overwritten before a new state replaces it.
    void hold_free(std::uint32_t index);
    void release_held();

    void serialize_sector(std::uint32_t sector, std::uint8_t* out) const;
    const std::set<std::uint32_t>& changed_sectors() const { return changed_; }
    void clear_changed() { changed_.clear(); }

    // Follows a chain from `start` through entries below `limit` (the
    // number of sectors that exist). With `expected`, the chain must have
    // exactly that many sectors; without, it runs to its end. `what` names
    // the chain's owner in messages ("stream 'X'"). Raises ERROR_OPEN_FAILED.
    std::vector<std::uint32_t> chain(std::uint32_t start, std::uint32_t limit, std::optional<std::uint64_t> expected,
                                     const std::string& what) const;
    // How many sectors from `index` (below size()) on follow each other in
    // the file and in the chain, each entry naming the next sector: at least
    // 1, at most `most`. A large stream's chain is mostly such runs.
    std::uint32_t run_length(std::uint32_t index, std::uint32_t most) const;

private:
    std::uint32_t* load(std::uint32_t table_sector) const;
    void store(std::uint32_t index, std::uint32_t value);
    std::uint32_t* entries_of(std::uint32_t table_sector) const {
        std::uint32_t* entries = sectors_[table_sector].get();
        return entries ? entries : load(table_sector);
    }

    std::uint32_t per_sector_;
    unsigned shift_;
    // The entries of each table sector, once loaded (null before). Apart,
    // not in one array as long as the table: where memory comes in huge
    // pages, touching one sector of such an array would make megabytes
    // present for a gigabyte file's FAT.
    mutable std::vector<std::unique_ptr<std::uint32_t[]>> sectors_;
    sector_loader load_;
    std::set<std::uint32_t> changed_;
    // Entries set free since loading, as a heap, lowest first; one taken
    // again since is dropped when it comes to the top. Below scan_from_
    // every other entry is in use, so a large file is scanned once, not on
    // every allocation.
    std::vector<std::uint32_t> released_;
    std::uint32_t scan_from_ = 0;
    std::set<std::uint32_t> held_;
    mutable std::vector<std::uint8_t> holds_free_;  // by table sector, when known
};

template <typename EntriesOf>
std::uint32_t chain_run_length(EntriesOf&& entries_of, std::uint32_t per_sector, std::uint32_t size,
                               std::uint32_t index, std::uint32_t most) {
    std::uint32_t n = 1;
    while (n < most && index + n - 1 < size) {
        // The entry of sector `index + n - 1` must name the sector after it.
        std::uint32_t current = index + n - 1;
        const std::uint32_t* entries = entries_of(current / per_sector);
        std::uint32_t i = current & (per_sector - 1);
        // Eight entries at a time, as four 64-bit words against the pairs a
        // run must hold; then one at a time to where the run ends.
        if constexpr (std::endian::native == std::endian::little) {
            constexpr std::uint64_t pair_step = 0x0000000200000002ull;
            while (i + 8 <= per_sector && most - n >= 8) {
                std::uint64_t words[4];
                std::memcpy(words, entries + i, sizeof words);
                const std::uint64_t pair = std::uint64_t(current + 1) | (std::uint64_t(current + 2) << 32);
                if ((words[0] ^ pair) | (words[1] ^ (pair + pair_step)) | (words[2] ^ (pair + 2 * pair_step)) |
                    (words[3] ^ (pair + 3 * pair_step)))
                    break;
                i += 8;
                n += 8;
                current += 8;
            }
        }
        while (i < per_sector && n < most && entries[i] == current + 1) {
            ++i;
            ++n;
            ++current;
        }
        if (i < per_sector) break;  // the run ends inside this table sector
    }
    return n;
}

}  // namespace msi::cfb
