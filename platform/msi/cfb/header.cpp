#include "msi/cfb/header.h"

#include <algorithm>
#include <cstring>

namespace msi::cfb {
namespace {

constexpr std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

}  // namespace

header header::parse(const std::uint8_t* p) {
    if (std::memcmp(p, signature, sizeof signature) != 0) fail_open("not a compound file");
    header h;
    std::copy(p, p + header_size, h.raw.begin());
    if (get16(p + 0x1C) != 0xFFFE) fail_open("compound file has an unknown byte order");
    h.major_version = get16(p + 0x1A);
    unsigned shift = get16(p + 0x1E);
    if (shift != 9 && shift != 12)
        fail_open("compound file has an unsupported sector size (shift " + std::to_string(shift) + ")");
    if ((h.major_version == 3 && shift != 9) || (h.major_version == 4 && shift != 12) ||
        (h.major_version != 3 && h.major_version != 4))
        fail_open("compound file version " + std::to_string(h.major_version) + " does not match its sector size");
    if (get16(p + 0x20) != 6) fail_open("compound file has an unsupported mini sector size");
    h.sector_size = 1u << shift;
    h.directory_count = get32(p + 0x28);
    h.fat_count = get32(p + 0x2C);
    h.first_directory = get32(p + 0x30);
    h.mini_cutoff = get32(p + 0x38);
    h.first_minifat = get32(p + 0x3C);
    h.minifat_count = get32(p + 0x40);
    h.first_difat = get32(p + 0x44);
    h.difat_count = get32(p + 0x48);
    for (std::size_t i = 0; i < header_difat_slots; ++i) h.difat[i] = get32(p + 0x4C + 4 * i);
    return h;
}

header header::fresh() {
    header h;
    std::copy(std::begin(signature), std::end(signature), h.raw.begin());
    put16(&h.raw[0x18], 0x003E);
    put16(&h.raw[0x1A], 3);
    put16(&h.raw[0x1C], 0xFFFE);
    put16(&h.raw[0x1E], 9);
    put16(&h.raw[0x20], 6);
    h.difat.fill(free_sector);
    h.store();
    return h;
}

void header::store() {
    put32(&raw[0x28], major_version == 3 ? 0 : directory_count);
    put32(&raw[0x2C], fat_count);
    put32(&raw[0x30], first_directory);
    put32(&raw[0x38], mini_cutoff);
    put32(&raw[0x3C], first_minifat);
    put32(&raw[0x40], minifat_count);
    put32(&raw[0x44], first_difat);
    put32(&raw[0x48], difat_count);
    for (std::size_t i = 0; i < header_difat_slots; ++i) put32(&raw[0x4C + 4 * i], difat[i]);
}

}  // namespace msi::cfb
