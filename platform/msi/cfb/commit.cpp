#include "msi/cfb/commit.h"
#include "msi/cfb/file_errors.h"
#include "msi/cfb/printable_name.h"

#include "msi/cfb/sibling_tree.h"
#include "msi/cfb/write_batch.h"

#include <algorithm>
#include <list>

namespace msi::cfb {

using stream_pieces = compound_file::stream_pieces;

// Hands out a stream's bytes by range, ranges coming in ascending order,
// as the memory pieces they lie in.
class piece_reader {
public:
    explicit piece_reader(const stream_pieces& data) : parts_(data.parts) {}

    // Calls take(pointer, size) for each piece of the bytes [from, from + size).
    template <typename Take>
    void read(std::uint64_t from, std::uint64_t size, Take&& take) {
        while (size > 0) {
            while (from >= part_start_ + parts_[part_].size()) part_start_ += parts_[part_++].size();
            const std::uint64_t within = from - part_start_;
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, parts_[part_].size() - within));
            take(parts_[part_].data() + within, n);
            from += n;
            size -= n;
        }
    }

private:
    const std::vector<std::span<const std::uint8_t>>& parts_;
    std::size_t part_ = 0;
    std::uint64_t part_start_ = 0;  // stream offset of parts_[part_]
};

class committer {
public:
    committer(image& img, commit_durability durability) : img_(img), durability_(durability) {}
    void run(const change_set& changes);

private:
    struct old_chain {
        bool mini = false;
        std::vector<std::uint32_t> sectors;
        std::uint64_t size = 0;
        std::vector<bool> kept;  // sectors the stream's new state uses again
    };

    void check(const change_set& changes) const;
    void remember_old_chain(std::uint32_t id, bool rewritten);
    void stage(const change_set& changes);
    std::uint32_t allocate_sector();
    void grow_fat();
    std::uint32_t allocate_mini_sector();
    std::uint32_t allocate_entry();
    void place_stream(std::uint32_t id, const stream_pieces& data);
    // Sub-storages: the entries of a stored one freed with its streams'
    // chains, a new one laid out entry by entry.
    void remember_storage_chains(std::uint32_t storage);
    void free_storage(std::uint32_t storage);
    std::uint32_t place_storage(const new_entry& tree);
    void remove_storages(const change_set& changes);
    void place_big(const stream_pieces& data, directory_entry& entry, old_chain* old);
    std::vector<bool> unchanged_sectors(const stream_pieces& data, const old_chain& old) const;
    void place_mini(const stream_pieces& data, directory_entry& entry);
    std::vector<std::uint8_t>& fresh_mini_host(std::size_t index);
    std::uint32_t relocate(std::vector<std::uint32_t>& chain, std::size_t index);
    void relocate_directory_and_minifat();
    void relocate_fat_and_difat();
    void queue_tables();
    void update_header();
    void write(sys::file_handle& out);
    void drop_free_tail(sys::file_handle& out);

    image& img_;
    commit_durability durability_;
    mini_structures* mini_ = nullptr;
    std::vector<old_chain> old_chains_;
    std::map<std::uint32_t, std::size_t> rewritten_;  // entry id -> its old chain in old_chains_
    std::set<std::uint32_t> changed_entries_;
    bool difat_changed_ = false;
    // Sectors this commit took: the only ones it may write, besides the header.
    std::set<std::uint32_t> fresh_;
    std::map<std::uint32_t, std::vector<std::uint8_t>> new_mini_hosts_;  // whole new mini stream sectors
    write_batch data_;
    // Contents of new storages' streams, which data_ refers to until written.
    std::list<std::vector<std::uint8_t>> storage_contents_;
};

void committer::check(const change_set& changes) const {
    if (img_.broken_) fail_write("an earlier commit of this file failed; reopen it");
    for (const auto& [name, tree] : changes.storage_writes) {
        auto it = img_.root_children_.find(name);
        if (it != img_.root_children_.end() && img_.entries_[it->second].type != entry_type::storage)
            fail_write("a stream named '" + printable_name(name) + "' exists");
    }
    for (const auto& [name, data] : changes.writes) {
        auto it = img_.root_children_.find(name);
        if (it != img_.root_children_.end() && img_.entries_[it->second].type != entry_type::stream)
            fail_write("a storage named '" + printable_name(name) + "' exists");
        if (img_.header_.major_version == 3 && data.size > 0xFFFFFFFFull)
            fail_write("stream '" + printable_name(name) + "' is too large for this file");
    }
}

void committer::remember_old_chain(std::uint32_t id, bool rewritten) {
    old_chain old;
    old.size = img_.stream_size(id);
    old.mini = img_.in_mini_stream(old.size);
    try {
        old.sectors = img_.stream_sectors(id);
    } catch (const automation_error&) {
        // A broken chain may run into other streams' sectors: leave it allocated.
        return;
    }
    old.kept.assign(old.sectors.size(), false);
    if (rewritten) rewritten_[id] = old_chains_.size();
    old_chains_.push_back(std::move(old));
}

std::uint32_t committer::allocate_sector() {
    for (;;) {
        if (auto free = img_.fat_.find_free()) {
            if (*free > max_regular_sector) fail_write("compound file is full");
            img_.fat_.set(*free, end_of_chain);
            fresh_.insert(*free);
            return *free;
        }
        grow_fat();
    }
}

void committer::grow_fat() {
    // The new FAT sector describes itself: it takes the first entry it adds.
    std::uint32_t base = img_.fat_.size();
    if (base > max_regular_sector) fail_write("compound file is full");
    img_.fat_.grow();
    img_.fat_.set(base, fat_sector_mark);
    fresh_.insert(base);
    img_.fat_sectors_.push_back(base);
    img_.table_locations_.add(base, fat_sector_mark);
    std::size_t index = img_.fat_sectors_.size() - 1;
    if (index < header_difat_slots) return;
    difat_changed_ = true;
    const std::size_t per_difat = img_.sector_size() / 4 - 1;
    if ((index - header_difat_slots) / per_difat >= img_.difat_sectors_.size()) {
        img_.fat_.set(base + 1, difat_sector_mark);
        fresh_.insert(base + 1);
        img_.difat_sectors_.push_back(base + 1);
        img_.difat_taken_.push_back(true);
        img_.table_locations_.add(base + 1, difat_sector_mark);
    }
}

std::uint32_t committer::allocate_mini_sector() {
    allocation_table& minifat = mini_->minifat;
    auto free = minifat.find_free();
    if (!free) {
        std::uint32_t s = allocate_sector();
        if (mini_->minifat_chain.empty())
            img_.header_.first_minifat = s;
        else
            img_.fat_.set(mini_->minifat_chain.back(), s);
        mini_->minifat_chain.push_back(s);
        minifat.grow();
        free = minifat.find_free();
    }
    std::uint32_t m = *free;
    minifat.set(m, end_of_chain);

    // Extend the mini stream (the root entry's chain) to reach the new sector.
    const std::uint32_t ss = img_.sector_size();
    std::uint64_t end = (std::uint64_t(m) + 1) * mini_sector_size;
    directory_entry& root = img_.entries_[0];
    while (std::uint64_t(mini_->stream_chain.size()) * ss < end) {
        std::uint32_t s = allocate_sector();
        if (mini_->stream_chain.empty())
            root.start = s;
        else
            img_.fat_.set(mini_->stream_chain.back(), s);
        mini_->stream_chain.push_back(s);
        new_mini_hosts_.emplace(s, std::vector<std::uint8_t>(ss, 0));
    }
    if (img_.stream_size(0) < end) {
        root.size = end;
        changed_entries_.insert(0);
    }
    return m;
}

std::uint32_t committer::allocate_entry() {
    for (std::uint32_t id = 1; id < img_.entries_.size(); ++id) {
        if (img_.entries_[id].type == entry_type::unused && !img_.reachable_[id]) {
            img_.reachable_[id] = true;
            return id;
        }
    }
    std::uint32_t s = allocate_sector();
    img_.fat_.set(img_.directory_chain_.back(), s);
    img_.directory_chain_.push_back(s);
    auto first = static_cast<std::uint32_t>(img_.entries_.size());
    for (std::uint32_t k = 0; k < img_.entries_per_sector(); ++k) {
        img_.entries_.push_back(directory_entry::unused());
        img_.reachable_.push_back(false);
        changed_entries_.insert(first + k);
    }
    img_.reachable_[first] = true;
    return first;
}

void committer::place_stream(std::uint32_t id, const stream_pieces& data) {
    directory_entry& entry = img_.entries_[id];
    changed_entries_.insert(id);
    entry.size = data.size;
    if (data.size == 0)
        entry.start = end_of_chain;
    else if (img_.in_mini_stream(data.size))
        place_mini(data, entry);
    else {
        auto old = rewritten_.find(id);
        place_big(data, entry, old == rewritten_.end() ? nullptr : &old_chains_[old->second]);
    }
}

void committer::remember_storage_chains(std::uint32_t storage) {
    for (std::uint32_t child : children_in_order(img_.entries_, storage)) {
        if (img_.entries_[child].type == entry_type::stream)
            remember_old_chain(child, false);
        else
            remember_storage_chains(child);
    }
}

void committer::free_storage(std::uint32_t storage) {
    for (std::uint32_t child : children_in_order(img_.entries_, storage))
        if (img_.entries_[child].type == entry_type::storage) free_storage(child);
    for (std::uint32_t child : children_in_order(img_.entries_, storage)) {
        img_.entries_[child] = directory_entry::unused();
        img_.reachable_[child] = false;
        changed_entries_.insert(child);
    }
}

std::uint32_t committer::place_storage(const new_entry& tree) {
    const std::uint32_t id = allocate_entry();
    img_.entries_[id] = directory_entry::make(tree.name, tree.type);
    if (tree.type == entry_type::stream) {
        const std::vector<std::uint8_t>& data = storage_contents_.emplace_back(tree.content());
        place_stream(id, stream_pieces{{data}, data.size()});
    } else {
        std::map<std::u16string, std::uint32_t, name_less> children;
        for (const new_entry& child : tree.children) children.emplace(child.name, place_storage(child));
        std::vector<std::uint32_t> sorted;
        for (const auto& child : children) sorted.push_back(child.second);
        img_.entries_[id].child = build_sibling_tree(img_.entries_, sorted);
        img_.entries_[id].start = 0;  // storages own no chain
        changed_entries_.insert(sorted.begin(), sorted.end());
    }
    directory_entry& entry = img_.entries_[id];
    entry.clsid = tree.clsid;
    entry.set_times(tree.state, tree.created, tree.modified);
    changed_entries_.insert(id);
    return id;
}

void committer::remove_storages(const change_set& changes) {
    for (const auto& name : changes.storage_removals) {
        auto it = img_.root_children_.find(name);
        if (it == img_.root_children_.end() || img_.entries_[it->second].type != entry_type::storage) continue;
        free_storage(it->second);
        img_.entries_[it->second] = directory_entry::unused();
        img_.reachable_[it->second] = false;
        changed_entries_.insert(it->second);
        img_.root_children_.erase(it);
    }
}

// Which of the stream's new sectors hold exactly the bytes the same sector
// of its committed chain holds: those stay where they are, unwritten. A
// large stream that changes in one place (the string pool after an edit)
// then costs a few sectors, not the whole stream.
std::vector<bool> committer::unchanged_sectors(const stream_pieces& data, const old_chain& old) const {
    const std::uint32_t ss = img_.sector_size();
    const std::uint64_t common = std::min(data.size, old.size);
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(common / ss, old.sectors.size()));
    std::vector<bool> same(count, false);
    const auto known = static_cast<std::size_t>(std::min<std::uint64_t>(data.unchanged_prefix, common) / ss);
    std::fill_n(same.begin(), std::min(known, count), true);
    std::vector<std::uint8_t> committed;
    piece_reader reader(data);
    for (std::size_t i = std::min(known, count); i < count;) {
        std::size_t run = 1;
        while (i + run < count && run < 256 && old.sectors[i + run] == old.sectors[i] + run) ++run;
        committed.resize(std::size_t(run) * ss);
        img_.source_.read_exact(img_.sector_offset(old.sectors[i]), committed.data(), committed.size());
        for (std::size_t k = 0; k < run; ++k) {
            const std::uint8_t* was = committed.data() + k * ss;
            bool equal = true;
            reader.read(std::uint64_t(i + k) * ss, ss, [&](const std::uint8_t* bytes, std::size_t n) {
                equal = equal && std::equal(bytes, bytes + n, was);
                was += n;
            });
            same[i + k] = equal;
        }
        i += run;
    }
    return same;
}

void committer::place_big(const stream_pieces& data, directory_entry& entry, old_chain* old) {
    const std::uint32_t ss = img_.sector_size();
    const auto count = static_cast<std::size_t>((data.size + ss - 1) / ss);
    const std::vector<bool> same = old && !old->mini ? unchanged_sectors(data, *old) : std::vector<bool>{};
    std::vector<std::uint32_t> chain;
    chain.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (i < same.size() && same[i]) {
            old->kept[i] = true;
            chain.push_back(old->sectors[i]);
        } else {
            chain.push_back(allocate_sector());
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t next = i + 1 < count ? chain[i + 1] : end_of_chain;
        if (img_.fat_.at(chain[i]) != next) img_.fat_.set(chain[i], next);
    }
    entry.start = chain.front();
    piece_reader reader(data);
    for (std::size_t i = 0; i < count;) {
        if (i < same.size() && same[i]) {
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (i + run < count && chain[i + run] == chain[i] + run && !(i + run < same.size() && same[i + run])) ++run;
        const std::uint64_t from = std::uint64_t(i) * ss;
        const std::uint64_t size = std::min<std::uint64_t>(std::uint64_t(run) * ss, data.size - from);
        std::uint64_t at = img_.sector_offset(chain[i]);
        reader.read(from, size, [&](const std::uint8_t* bytes, std::size_t n) {
            data_.add(at, bytes, n);
            at += n;
        });
        i += run;
    }
    if (const auto tail = static_cast<std::size_t>(data.size % ss))
        data_.add_zeros(img_.sector_offset(chain.back()) + tail, ss - tail);
}

void committer::place_mini(const stream_pieces& data, directory_entry& entry) {
    const std::uint32_t ss = img_.sector_size();
    const auto count = static_cast<std::size_t>((data.size + mini_sector_size - 1) / mini_sector_size);
    piece_reader reader(data);
    std::uint32_t previous = no_entry;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t m = allocate_mini_sector();
        if (previous == no_entry)
            entry.start = m;
        else
            mini_->minifat.set(previous, m);
        previous = m;

        const std::uint64_t from = std::uint64_t(i) * mini_sector_size;
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(mini_sector_size, data.size - from));
        const std::uint64_t position = std::uint64_t(m) * mini_sector_size;
        std::uint8_t* out = fresh_mini_host(position / ss).data() + position % ss;
        reader.read(from, size, [&](const std::uint8_t* bytes, std::size_t n) { out = std::copy_n(bytes, n, out); });
        std::fill_n(out, mini_sector_size - size, 0);
    }
}

// The mini stream's sector `index` as a new sector of this commit: one the
// committed state uses is copied to a sector of its own first, since its
// other mini sectors hold streams that stay.
std::vector<std::uint8_t>& committer::fresh_mini_host(std::size_t index) {
    std::uint32_t host = mini_->stream_chain[index];
    if (auto fresh = new_mini_hosts_.find(host); fresh != new_mini_hosts_.end()) return fresh->second;
    std::vector<std::uint8_t> bytes(img_.sector_size());
    img_.source_.read_exact(img_.sector_offset(host), bytes.data(), bytes.size());
    host = relocate(mini_->stream_chain, index);
    img_.entries_[0].start = mini_->stream_chain.front();
    changed_entries_.insert(0);
    return new_mini_hosts_.emplace(host, std::move(bytes)).first->second;
}

// Moves sector `index` of a chain to a new sector; the old one is free in
// the new state but not taken again before it is committed.
std::uint32_t committer::relocate(std::vector<std::uint32_t>& chain, std::size_t index) {
    const std::uint32_t old = chain[index];
    const std::uint32_t moved = allocate_sector();
    img_.fat_.set(moved, index + 1 < chain.size() ? chain[index + 1] : end_of_chain);
    if (index > 0) img_.fat_.set(chain[index - 1], moved);
    chain[index] = moved;
    img_.fat_.hold_free(old);
    return moved;
}

void committer::relocate_directory_and_minifat() {
    std::set<std::uint32_t> directory_sectors;
    for (std::uint32_t id : changed_entries_) directory_sectors.insert(id / img_.entries_per_sector());
    for (std::uint32_t k : directory_sectors)
        if (!fresh_.count(img_.directory_chain_[k])) relocate(img_.directory_chain_, k);
    for (std::uint32_t k : mini_->minifat.changed_sectors())
        if (!fresh_.count(mini_->minifat_chain[k])) relocate(mini_->minifat_chain, k);
}

// Moving a FAT sector changes FAT entries (its new place, its old one) and
// the DIFAT; moving DIFAT sectors changes FAT entries again: repeated until
// every changed table sector lies in a sector of this commit. Each table
// sector moves at most once, so this ends.
void committer::relocate_fat_and_difat() {
    for (bool moved = true; moved;) {
        moved = false;
        const std::vector<std::uint32_t> changed(img_.fat_.changed_sectors().begin(),
                                                 img_.fat_.changed_sectors().end());
        for (std::uint32_t k : changed) {
            const std::uint32_t old = img_.fat_sectors_[k];
            if (fresh_.count(old)) continue;
            const std::uint32_t s = allocate_sector();
            img_.fat_.set(s, fat_sector_mark);
            img_.fat_sectors_[k] = s;
            img_.table_locations_.erase(old);
            img_.table_locations_.add(s, fat_sector_mark);
            img_.fat_.hold_free(old);
            if (k >= header_difat_slots) difat_changed_ = true;
            moved = true;
        }
        // The DIFAT is a chain of few sectors, each linking the next: a
        // change anywhere moves all of them.
        if (!difat_changed_) continue;
        for (std::uint32_t& d : img_.difat_sectors_) {
            if (fresh_.count(d)) continue;
            const std::uint32_t s = allocate_sector();
            img_.fat_.set(s, difat_sector_mark);
            img_.table_locations_.erase(d);
            img_.table_locations_.add(s, difat_sector_mark);
            img_.fat_.hold_free(d);
            d = s;
            moved = true;
        }
    }
}

void committer::queue_tables() {
    const std::uint32_t ss = img_.sector_size();
    auto add_sector = [&](std::uint32_t sector, std::vector<std::uint8_t> bytes) {
        if (!fresh_.count(sector)) fail_write("internal error: a commit would overwrite committed data");
        data_.add_copy(img_.sector_offset(sector), std::move(bytes));
    };
    for (std::uint32_t k : img_.fat_.changed_sectors()) {
        std::vector<std::uint8_t> bytes(ss);
        img_.fat_.serialize_sector(k, bytes.data());
        add_sector(img_.fat_sectors_[k], std::move(bytes));
    }
    for (std::uint32_t k : mini_->minifat.changed_sectors()) {
        std::vector<std::uint8_t> bytes(ss);
        mini_->minifat.serialize_sector(k, bytes.data());
        add_sector(mini_->minifat_chain[k], std::move(bytes));
    }
    const std::size_t per_difat = ss / 4 - 1;
    for (std::size_t k = 0; difat_changed_ && k < img_.difat_sectors_.size(); ++k) {
        std::vector<std::uint8_t> bytes(ss);
        for (std::size_t i = 0; i < per_difat; ++i) {
            std::size_t index = header_difat_slots + k * per_difat + i;
            put32(&bytes[4 * i], index < img_.fat_sectors_.size() ? img_.fat_sectors_[index] : free_sector);
        }
        put32(&bytes[4 * per_difat], k + 1 < img_.difat_sectors_.size() ? img_.difat_sectors_[k + 1] : end_of_chain);
        add_sector(img_.difat_sectors_[k], std::move(bytes));
    }
    std::set<std::uint32_t> directory_sectors;
    for (std::uint32_t id : changed_entries_) directory_sectors.insert(id / img_.entries_per_sector());
    for (std::uint32_t k : directory_sectors) {
        std::vector<std::uint8_t> bytes(ss);
        for (std::uint32_t i = 0; i < img_.entries_per_sector(); ++i) {
            // Neighbours that did not change keep their bytes exactly.
            std::uint32_t id = k * img_.entries_per_sector() + i;
            directory_entry& e = img_.entries_[id];
            if (changed_entries_.count(id)) e.store();
            std::copy(e.raw.begin(), e.raw.end(), bytes.begin() + i * entry_size);
        }
        add_sector(img_.directory_chain_[k], std::move(bytes));
    }
    for (auto& [host, bytes] : new_mini_hosts_) add_sector(host, std::move(bytes));
}

void committer::update_header() {
    header& h = img_.header_;
    h.fat_count = static_cast<std::uint32_t>(img_.fat_sectors_.size());
    for (std::size_t i = 0; i < header_difat_slots; ++i)
        h.difat[i] = i < img_.fat_sectors_.size() ? img_.fat_sectors_[i] : free_sector;
    if (!img_.difat_sectors_.empty())
        h.first_difat = img_.difat_sectors_.front();
    else if (h.first_difat != free_sector)
        h.first_difat = end_of_chain;
    h.difat_count = static_cast<std::uint32_t>(img_.difat_sectors_.size());
    if (!mini_->minifat_chain.empty()) h.first_minifat = mini_->minifat_chain.front();
    h.minifat_count = static_cast<std::uint32_t>(mini_->minifat_chain.size());
    h.first_directory = img_.directory_chain_.front();
    h.directory_count = static_cast<std::uint32_t>(img_.directory_chain_.size());
    h.store();
}

void committer::stage(const change_set& changes) {
    bool names_changed = !changes.storage_removals.empty() || !changes.storage_writes.empty();
    remove_storages(changes);
    for (const auto& [name, tree] : changes.storage_writes) img_.root_children_.emplace(name, place_storage(tree));
    for (const auto& name : changes.removals) {
        auto it = img_.root_children_.find(name);
        if (it == img_.root_children_.end() || img_.entries_[it->second].type != entry_type::stream) continue;
        img_.entries_[it->second] = directory_entry::unused();
        img_.reachable_[it->second] = false;
        changed_entries_.insert(it->second);
        img_.root_children_.erase(it);
        names_changed = true;
    }
    for (const auto& [name, data] : changes.writes) {
        auto it = img_.root_children_.find(name);
        std::uint32_t id;
        if (it != img_.root_children_.end()) {
            id = it->second;
        } else {
            id = allocate_entry();
            img_.entries_[id] = directory_entry::make(name, entry_type::stream);
            img_.root_children_.emplace(name, id);
            names_changed = true;
        }
        place_stream(id, data);
    }
    if (names_changed) {
        // The root's own tree is laid out anew; sub-storages keep theirs.
        std::vector<std::uint32_t> sorted;
        for (const auto& child : img_.root_children_) sorted.push_back(child.second);
        img_.entries_[0].child = build_sibling_tree(img_.entries_, sorted);
        changed_entries_.insert(sorted.begin(), sorted.end());
        changed_entries_.insert(0);
    }
    if (changes.root_class && *changes.root_class != img_.entries_[0].clsid) {
        img_.entries_[0].clsid = *changes.root_class;
        changed_entries_.insert(0);
    }
    // Released only now, so this commit never takes sectors the old header
    // still refers to.
    for (const old_chain& old : old_chains_)
        for (std::size_t i = 0; i < old.sectors.size(); ++i)
            if (!old.kept[i]) old.mini ? mini_->minifat.release(old.sectors[i]) : img_.fat_.hold_free(old.sectors[i]);
    relocate_directory_and_minifat();
    relocate_fat_and_difat();
    queue_tables();
    update_header();
}

// Everything new goes into sectors the committed state does not use, and
// is made durable before the header, one write, switches to it.
void committer::write(sys::file_handle& out) {
    // What was read ahead of the file may lie where this writes: none is
    // kept, and none read until the commit is over.
    img_.forget_read_ahead(true);
    const std::uint64_t ss = img_.sector_size();
    const std::uint64_t end = fresh_.empty() ? 0 : img_.sector_offset(*fresh_.rbegin()) + ss;
    if (end > img_.file_size_) out.reserve(img_.file_size_, end - img_.file_size_);
    data_.flush(out);
    if (durability_ == commit_durability::synced) out.sync();
    out.write_exact(0, img_.header_.raw.data(), header_size);
}

// Sectors at the end that the new state leaves free go; the FAT may cover
// sectors past the end of the file.
void committer::drop_free_tail(sys::file_handle& out) {
    std::uint32_t used = img_.fat_.size();
    while (used > 0 && img_.fat_.at(used - 1) == free_sector) --used;
    const std::uint64_t keep = img_.sector_offset(used);
    if (keep < out.size()) out.shrink_to(keep);
}

void committer::run(const change_set& changes) {
    img_.check_unchanged();
    check(changes);
    sys::file_handle out = file_operation([&] { return sys::file_handle::open_update(img_.path_); });
    if (!out.same_file_as(img_.source_.file()))
        fail_write("'" + img_.path_.string() + "' was replaced since it was opened");
    // Every table is read, and the file refused if chains share sectors,
    // before anything is written.
    img_.check_no_shared_sectors();
    mini_ = &*img_.mini_;

    for (const auto& name : changes.removals) {
        auto it = img_.root_children_.find(name);
        if (it != img_.root_children_.end() && img_.entries_[it->second].type == entry_type::stream)
            remember_old_chain(it->second, false);
    }
    for (const auto& [name, data] : changes.writes) {
        auto it = img_.root_children_.find(name);
        if (it != img_.root_children_.end()) remember_old_chain(it->second, true);
    }
    for (const auto& name : changes.storage_removals) {
        auto it = img_.root_children_.find(name);
        if (it != img_.root_children_.end() && img_.entries_[it->second].type == entry_type::storage)
            remember_storage_chains(it->second);
    }

    // From here on memory runs ahead of the file until the header is written.
    img_.broken_ = true;
    stage(changes);
    const std::string file = "'" + img_.path_.string() + "'";
    try {
        file_operation([&] { write(out); });
    } catch (const automation_error& e) {
        // The old header is in place: what was written lies in sectors it
        // does not use, and the file goes back to its old length.
        try {
            out.shrink_to(img_.file_size_);
        } catch (const sys::file_error&) {}
        throw automation_error(e.code(), "cannot commit " + file + ": " + e.what() + "; the file was left as it was");
    }
    try {
        if (durability_ == commit_durability::synced) file_operation([&] { out.sync(); });
    } catch (const automation_error& e) {
        throw automation_error(
            e.code(), "cannot commit " + file + ": " + e.what() + "; the file holds the change, but the disk may not");
    }
    file_operation([&] {
        drop_free_tail(out);
        out.grow_to((out.size() + img_.sector_size() - 1) / img_.sector_size() * img_.sector_size());
        img_.file_size_ = out.size();
        img_.identity_ = out.identity();
    });
    img_.fat_.clear_changed();
    img_.fat_.release_held();
    mini_->minifat.clear_changed();
    img_.broken_ = false;
}

void commit_changes(image& img, const change_set& changes, commit_durability durability) {
    if (changes.writes.empty() && changes.removals.empty() && changes.storage_writes.empty() &&
        changes.storage_removals.empty() && (!changes.root_class || *changes.root_class == img.entries()[0].clsid))
        return;
    try {
        committer(img, durability).run(changes);
    } catch (...) {
        img.forget_read_ahead(false);
        throw;
    }
    img.forget_read_ahead(false);
}

}  // namespace msi::cfb
