#include "msi/cfb_image.h"

#include <algorithm>
#include <cstring>

namespace msi::cfb {
namespace {

[[noreturn]] void fail_shared(const std::string& what) {
    fail_write("compound file is damaged: " + what +
               " shares sectors with another chain or loops; it cannot be changed safely");
}

void claim(std::vector<std::uint8_t>& owned, const std::vector<std::uint32_t>& sectors, const char* what) {
    for (std::uint32_t s : sectors) {
        if (s >= owned.size()) continue;
        if (owned[s]) fail_shared(what);
        owned[s] = 1;
    }
}

}  // namespace

void image::check_no_shared_sectors() const {
    if (sharing_checked_) return;
    load_all_tables();
    const mini_structures& m = mini();
    std::vector<std::uint8_t> regular(fat_.size(), 0);
    claim(regular, fat_sectors_, "the FAT");
    claim(regular, difat_sectors_, "the DIFAT");
    claim(regular, directory_chain_, "the directory");
    claim(regular, m.minifat_chain, "the MiniFAT");
    claim(regular, m.stream_chain, "the mini stream");
    std::vector<std::uint8_t> mini_owned(m.minifat.size(), 0);
    // Walks the sectors each stream's size covers, as far as they are valid,
    // a run of consecutive sectors at a time. Without building lists: a
    // cabinet's chain can have millions of sectors.
    for (std::uint32_t id = 1; id < entries_.size(); ++id) {
        if (!reachable_[id] || entries_[id].type != entry_type::stream) continue;
        const std::uint64_t size = stream_size(id);
        const bool small = in_mini_stream(size);
        const allocation_table& table = small ? m.minifat : fat_;
        std::vector<std::uint8_t>& owned = small ? mini_owned : regular;
        const std::uint64_t unit = small ? mini_sector_size : sector_size();
        std::uint64_t left = (size + unit - 1) / unit;
        for (std::uint32_t s = entries_[id].start; left > 0 && s < owned.size();) {
            const std::uint32_t run =
                table.run_length(s, static_cast<std::uint32_t>(std::min<std::uint64_t>(left, owned.size() - s)));
            if (std::memchr(&owned[s], 1, run)) fail_shared("stream '" + printable_name(entries_[id].name) + "'");
            std::memset(&owned[s], 1, run);
            left -= run;
            s = table.at(s + run - 1);
        }
    }
    sharing_checked_ = true;
}

}  // namespace msi::cfb
