#include "system/prefault.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace sys {

void prefault_for_writing(void* data, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    // Below this, the allocator serves memory it has touched before.
    constexpr std::size_t worth_it = 128 * 1024;
    if (size < worth_it) return;
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(page - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

void keep_one_heap_on_huge_pages(std::size_t room) {
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#ifdef MADV_HUGEPAGE
    // The heap grows by the whole room now, in one piece that can be marked;
    // growth after the mark would not share it.
    char* const before = static_cast<char*>(sbrk(0));
    void* volatile grown = malloc(room);  // volatile: the pair must not be optimised away
    free(grown);
    char* const after = static_cast<char*>(sbrk(0));
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    char* const from = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(before) + page - 1) & ~(page - 1));
    if (before == reinterpret_cast<char*>(-1) || after <= from) return;
    madvise(from, static_cast<std::size_t>(after - from), MADV_HUGEPAGE);
    // Only whole, aligned 2 MiB pieces can be huge: below the first boundary
    // the heap would hand out memory a 4 KiB page at a time, each page a
    // fault of its own. A block that is never used takes that stretch (its
    // header, the one page it touches, lies below the boundary), so what is
    // allocated next starts in huge pages.
    constexpr std::uintptr_t huge = std::uintptr_t{2} << 20;
    const std::uintptr_t below = (huge - reinterpret_cast<std::uintptr_t>(before) % huge) % huge;
    static void* stretch_below_boundary = nullptr;  // kept, so that leak checkers see it reachable
    if (below >= 64 * 1024 && stretch_below_boundary == nullptr) stretch_below_boundary = malloc(below);
#else
    (void)room;
#endif
}

}  // namespace sys
