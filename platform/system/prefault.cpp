#include "system/prefault.h"

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

}  // namespace sys
