#pragma once

#include <cstddef>
#include <vector>

namespace sys {

// Makes the pages of [data, data + size) present in one system call.
// Touching fresh memory one page at a time costs a page fault for every
// 4 KiB, tens of microseconds each on a virtual machine; asking the kernel
// to populate the range up front costs about a microsecond a page. Only
// ranges large enough to come straight from the kernel are worth it. A hint:
// where the kernel lacks it, the pages fault in as usual.
void prefault_for_writing(void* data, std::size_t size);

// For a process that does one job and exits: every allocation comes from
// one heap that is never handed back to the system (freed buffers serve the
// next allocation instead of being asked for again, page by page), and the
// heap's next `room` bytes are marked for transparent huge pages, so that
// where the system has them a first touch makes 2 MiB present at once
// instead of 4 KiB. The room is address space only until touched.
void keep_one_heap_on_huge_pages(std::size_t room);

// Gives an empty vector room for n elements, populating that memory when it
// is large.
template <typename T>
void reserve_prefaulted(std::vector<T>& v, std::size_t n) {
    v.reserve(n);
    prefault_for_writing(v.data(), v.capacity() * sizeof(T));
}

}  // namespace sys
