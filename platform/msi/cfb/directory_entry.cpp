#include "msi/cfb/directory_entry.h"

#include <algorithm>

namespace msi::cfb {

directory_entry directory_entry::parse(const std::uint8_t* p, std::uint32_t id) {
    directory_entry e;
    std::copy(p, p + entry_size, e.raw.begin());
    std::uint8_t type = p[0x42];
    if (type == 0) {
        e.type = entry_type::unused;
        return e;
    }
    if (type != 1 && type != 2 && type != 5)
        fail_open("directory entry " + std::to_string(id) + " has an unknown type");
    e.type = static_cast<entry_type>(type);
    std::uint16_t name_bytes = get16(p + 0x40);
    if (name_bytes < 2 || name_bytes > 64 || name_bytes % 2 != 0)
        fail_open("directory entry " + std::to_string(id) + " has a malformed name");
    for (std::size_t i = 0; i + 1 < name_bytes / 2u; ++i) {
        char16_t c = get16(p + 2 * i);
        if (c == 0) break;
        e.name.push_back(c);
    }
    e.color = p[0x43];
    e.left = get32(p + 0x44);
    e.right = get32(p + 0x48);
    e.child = get32(p + 0x4C);
    std::copy(p + 0x50, p + 0x60, e.clsid.begin());
    e.start = get32(p + 0x74);
    e.size = get64(p + 0x78);
    return e;
}

directory_entry directory_entry::unused() {
    directory_entry e;
    e.store();
    return e;
}

directory_entry directory_entry::make(const std::u16string& name, entry_type type) {
    directory_entry e;
    e.name = name;
    e.type = type;
    e.store();
    return e;
}

void directory_entry::set_times(std::uint32_t state, std::uint64_t created, std::uint64_t modified) {
    put32(&raw[0x60], state);
    put64(&raw[0x64], created);
    put64(&raw[0x6C], modified);
}

void directory_entry::store() {
    if (type == entry_type::unused) {
        raw.fill(0);
        put32(&raw[0x44], no_entry);
        put32(&raw[0x48], no_entry);
        put32(&raw[0x4C], no_entry);
        return;
    }
    std::fill(raw.begin(), raw.begin() + 0x40, 0);
    std::size_t units = std::min(name.size(), max_name_units);
    for (std::size_t i = 0; i < units; ++i) put16(&raw[2 * i], name[i]);
    put16(&raw[0x40], static_cast<std::uint16_t>((units + 1) * 2));
    raw[0x42] = static_cast<std::uint8_t>(type);
    raw[0x43] = color;
    put32(&raw[0x44], left);
    put32(&raw[0x48], right);
    put32(&raw[0x4C], child);
    std::copy(clsid.begin(), clsid.end(), raw.begin() + 0x50);
    put32(&raw[0x74], start);
    put64(&raw[0x78], size);
}

}  // namespace msi::cfb
