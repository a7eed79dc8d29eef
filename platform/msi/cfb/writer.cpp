#include "msi/cfb/writer.h"
#include "msi/cfb/printable_name.h"

#include "msi/cfb/allocation_table.h"
#include "msi/cfb/directory_entry.h"
#include "msi/cfb/file_errors.h"
#include "msi/cfb/header.h"
#include "msi/cfb/name_order.h"
#include "msi/cfb/sibling_tree.h"

#include <algorithm>
#include <system_error>

namespace msi::cfb {
namespace {

constexpr std::uint32_t sector = 512;
constexpr std::uint32_t per_fat_sector = sector / 4;
constexpr std::uint32_t per_difat_sector = per_fat_sector - 1;
constexpr std::uint32_t per_directory_sector = sector / entry_size;

std::uint64_t round_up(std::uint64_t value, std::uint64_t unit) { return (value + unit - 1) / unit; }

// Sequential output through a buffer, into a file or, without one, into memory.
class sequential_writer {
public:
    explicit sequential_writer(sys::file_handle* file) : file_(file) { buffer_.reserve(1 << 20); }
    void write(const std::uint8_t* data, std::size_t size) {
        if (buffer_.size() + size > buffer_.capacity()) flush();
        if (size >= buffer_.capacity()) {
            put(data, size);
            return;
        }
        buffer_.insert(buffer_.end(), data, data + size);
    }
    void write32(std::uint32_t value) {
        std::uint8_t bytes[4];
        put32(bytes, value);
        write(bytes, 4);
    }
    void pad_to(std::uint64_t unit) {
        static const std::uint8_t zeros[sector] = {};
        while (position() % unit != 0)
            write(zeros, static_cast<std::size_t>(std::min<std::uint64_t>(unit - position() % unit, sector)));
    }
    std::uint64_t position() const { return offset_ + buffer_.size(); }
    void flush() {
        put(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    std::vector<std::uint8_t>& memory() { return memory_; }

private:
    void put(const std::uint8_t* data, std::size_t size) {
        if (file_)
            file_->write_exact(offset_, data, size);
        else
            memory_.insert(memory_.end(), data, data + size);
        offset_ += size;
    }

    sys::file_handle* file_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> memory_;  // the output when there is no file
    std::uint64_t offset_ = 0;
};

struct flat_directory {
    std::vector<directory_entry> entries;
    std::vector<const new_entry*> sources;
};

void check_name(const std::u16string& name) {
    if (name.empty() || name.size() > max_name_units)
        fail_write("name '" + printable_name(name) + "' is empty or longer than 31 characters");
}

flat_directory flatten(const new_entry& root) {
    flat_directory flat;
    directory_entry root_entry = directory_entry::make(u"Root Entry", entry_type::root);
    root_entry.clsid = root.clsid;
    root_entry.set_times(root.state, root.created, root.modified);
    flat.entries.push_back(root_entry);
    flat.sources.push_back(&root);
    // Storages are expanded as they are met; ids grow in that order.
    for (std::size_t parent = 0; parent < flat.entries.size(); ++parent) {
        const new_entry& source = *flat.sources[parent];
        if (flat.entries[parent].type == entry_type::stream) continue;
        std::vector<const new_entry*> children;
        for (const new_entry& child : source.children) children.push_back(&child);
        std::sort(children.begin(), children.end(),
                  [](const new_entry* a, const new_entry* b) { return compare_names(a->name, b->name) < 0; });
        std::vector<std::uint32_t> ids;
        for (std::size_t i = 0; i < children.size(); ++i) {
            const new_entry& child = *children[i];
            check_name(child.name);
            if (i > 0 && compare_names(children[i - 1]->name, child.name) == 0)
                fail_write("two entries named '" + printable_name(child.name) + "'");
            if (child.type != entry_type::stream && child.type != entry_type::storage)
                fail_write("entry '" + printable_name(child.name) + "' is neither stream nor storage");
            if (child.size > 0xFFFFFFFFull)
                fail_write("stream '" + printable_name(child.name) + "' is larger than 4 GB");
            directory_entry e = directory_entry::make(child.name, child.type);
            e.clsid = child.clsid;
            e.set_times(child.state, child.created, child.modified);
            e.size = child.type == entry_type::stream ? child.size : 0;
            e.start = child.type == entry_type::stream ? end_of_chain : 0;
            ids.push_back(static_cast<std::uint32_t>(flat.entries.size()));
            flat.entries.push_back(e);
            flat.sources.push_back(&child);
        }
        flat.entries[parent].child = build_sibling_tree(flat.entries, ids);
    }
    return flat;
}

// Where everything goes: FAT, DIFAT, directory, MiniFAT, mini stream,
// large streams, in that order.
struct layout {
    std::vector<std::uint32_t> mini_streams, big_streams;
    std::uint64_t mini_sectors = 0, big_sectors = 0;
    std::uint64_t directory_sectors = 0, minifat_sectors = 0, mini_stream_sectors = 0;
    std::uint64_t fat_sectors = 0, difat_sectors = 0;
    std::uint32_t first_difat = end_of_chain, first_directory = end_of_chain, first_minifat = end_of_chain;
    std::vector<std::uint32_t> fat;
};

// Small streams go to the mini stream, the rest to regular sectors; the FAT
// and DIFAT grow until they cover themselves.
layout size_everything(std::vector<directory_entry>& entries) {
    layout l;
    for (std::uint32_t id = 1; id < entries.size(); ++id) {
        directory_entry& e = entries[id];
        if (e.type != entry_type::stream || e.size == 0) continue;
        if (e.size < standard_mini_cutoff) {
            e.start = static_cast<std::uint32_t>(l.mini_sectors);
            l.mini_sectors += round_up(e.size, mini_sector_size);
            l.mini_streams.push_back(id);
        } else {
            l.big_streams.push_back(id);
            l.big_sectors += round_up(e.size, sector);
        }
    }
    l.directory_sectors = round_up(entries.size(), per_directory_sector);
    l.minifat_sectors = round_up(l.mini_sectors, per_fat_sector);
    l.mini_stream_sectors = round_up(l.mini_sectors * mini_sector_size, sector);
    const std::uint64_t data_sectors = l.directory_sectors + l.minifat_sectors + l.mini_stream_sectors + l.big_sectors;
    for (;;) {
        std::uint64_t fat = round_up(data_sectors + l.fat_sectors + l.difat_sectors, per_fat_sector);
        std::uint64_t difat = fat > header_difat_slots ? round_up(fat - header_difat_slots, per_difat_sector) : 0;
        if (fat == l.fat_sectors && difat == l.difat_sectors) break;
        l.fat_sectors = fat;
        l.difat_sectors = difat;
    }
    if (data_sectors + l.fat_sectors + l.difat_sectors > max_regular_sector)
        fail_write("compound file would be too large");
    return l;
}

// Fills the FAT with every chain, in layout order.
void place_chains(layout& l, std::vector<directory_entry>& entries) {
    l.fat.assign(static_cast<std::size_t>(l.fat_sectors * per_fat_sector), free_sector);
    std::uint32_t next = 0;
    auto place_chain = [&](std::uint64_t count) {
        std::uint32_t first = count ? next : end_of_chain;
        for (std::uint64_t i = 0; i < count; ++i, ++next) l.fat[next] = i + 1 < count ? next + 1 : end_of_chain;
        return first;
    };
    for (std::uint64_t i = 0; i < l.fat_sectors; ++i) l.fat[next++] = fat_sector_mark;
    l.first_difat = l.difat_sectors ? next : end_of_chain;
    for (std::uint64_t i = 0; i < l.difat_sectors; ++i) l.fat[next++] = difat_sector_mark;
    l.first_directory = place_chain(l.directory_sectors);
    l.first_minifat = place_chain(l.minifat_sectors);
    entries[0].start = place_chain(l.mini_stream_sectors);
    entries[0].size = l.mini_sectors * mini_sector_size;
    for (std::uint32_t id : l.big_streams) entries[id].start = place_chain(round_up(entries[id].size, sector));
}

header header_for(const layout& l) {
    header h = header::fresh();
    h.fat_count = static_cast<std::uint32_t>(l.fat_sectors);
    for (std::size_t i = 0; i < header_difat_slots && i < l.fat_sectors; ++i)
        h.difat[i] = static_cast<std::uint32_t>(i);
    h.first_difat = l.first_difat;
    h.difat_count = static_cast<std::uint32_t>(l.difat_sectors);
    h.first_directory = l.first_directory;
    h.first_minifat = l.first_minifat;
    h.minifat_count = static_cast<std::uint32_t>(l.minifat_sectors);
    h.store();
    return h;
}

void write_tables(sequential_writer& out, const layout& l, std::vector<directory_entry>& entries) {
    for (std::uint32_t v : l.fat) out.write32(v);
    for (std::uint64_t d = 0; d < l.difat_sectors; ++d) {
        for (std::uint64_t i = 0; i < per_difat_sector; ++i) {
            std::uint64_t index = header_difat_slots + d * per_difat_sector + i;
            out.write32(index < l.fat_sectors ? static_cast<std::uint32_t>(index) : free_sector);
        }
        out.write32(d + 1 < l.difat_sectors ? static_cast<std::uint32_t>(l.first_difat + d + 1) : end_of_chain);
    }
    entries.resize(l.directory_sectors * per_directory_sector, directory_entry::unused());
    for (directory_entry& e : entries) {
        e.store();
        out.write(e.raw.data(), e.raw.size());
    }
    for (std::uint32_t id : l.mini_streams) {
        std::uint64_t count = round_up(entries[id].size, mini_sector_size);
        for (std::uint64_t i = 0; i < count; ++i)
            out.write32(i + 1 < count ? static_cast<std::uint32_t>(entries[id].start + i + 1) : end_of_chain);
    }
    for (std::uint64_t i = l.mini_sectors; i < l.minifat_sectors * per_fat_sector; ++i) out.write32(free_sector);
}

void write_streams(sequential_writer& out, const layout& l, const flat_directory& flat) {
    auto write_content = [&](std::uint32_t id, std::uint64_t unit) {
        std::vector<std::uint8_t> data = flat.sources[id]->content();
        if (data.size() != flat.entries[id].size)
            fail_write("stream '" + printable_name(flat.entries[id].name) + "' changed size while saving");
        out.write(data.data(), data.size());
        out.pad_to(unit);
    };
    for (std::uint32_t id : l.mini_streams) write_content(id, mini_sector_size);
    out.pad_to(sector);
    for (std::uint32_t id : l.big_streams) write_content(id, sector);
}

void write_whole_file(sequential_writer& out, const new_entry& root) {
    flat_directory flat = flatten(root);
    layout l = size_everything(flat.entries);
    place_chains(l, flat.entries);
    const header h = header_for(l);
    out.write(h.raw.data(), h.raw.size());
    write_tables(out, l, flat.entries);
    write_streams(out, l, flat);
    out.flush();
}

}  // namespace

void write_compound_file(sys::file_handle& file, const new_entry& root) {
    file_operation([&] {
        sequential_writer out(&file);
        write_whole_file(out, root);
    });
}

std::vector<std::uint8_t> write_compound_file(const new_entry& root) {
    sequential_writer out(nullptr);
    write_whole_file(out, root);
    return std::move(out.memory());
}

}  // namespace msi::cfb
