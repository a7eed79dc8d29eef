#include "msi/cfb_image.h"

namespace msi::cfb {
namespace {

// Marks sectors as owned; a second owner means the file is cross-linked.
class ownership {
public:
    explicit ownership(std::size_t size) : owned_(size, false) {}
    void claim(const std::vector<std::uint32_t>& sectors, const char* what) {
        for (std::uint32_t s : sectors) {
            if (s >= owned_.size()) continue;
            if (owned_[s])
                fail_write(std::string("compound file is damaged: ") + what +
                           " shares sectors with another chain; it cannot be changed safely");
            owned_[s] = true;
        }
    }

private:
    std::vector<bool> owned_;
};

}  // namespace

void image::check_no_shared_sectors() const {
    if (sharing_checked_) return;
    const mini_structures& m = mini();
    ownership regular(fat_.size());
    regular.claim(fat_sectors_, "the FAT");
    regular.claim(difat_sectors_, "the DIFAT");
    regular.claim(directory_chain_, "the directory");
    regular.claim(m.minifat_chain, "the MiniFAT");
    regular.claim(m.stream_chain, "the mini stream");
    ownership mini_sectors(m.minifat.size());
    for (std::uint32_t id = 1; id < entries_.size(); ++id) {
        if (!reachable_[id] || entries_[id].type != entry_type::stream) continue;
        std::vector<std::uint32_t> sectors;
        try {
            sectors = stream_sectors(id);
        } catch (const automation_error&) {
            continue;  // unreadable; its sectors are never released
        }
        bool mini_stream = in_mini_stream(stream_size(id));
        std::string what = "stream '" + printable_name(entries_[id].name) + "'";
        (mini_stream ? mini_sectors : regular).claim(sectors, what.c_str());
    }
    sharing_checked_ = true;
}

}  // namespace msi::cfb
