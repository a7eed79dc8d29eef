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

// Gives an empty vector room for n elements, populating that memory when it
// is large.
template <typename T>
void reserve_prefaulted(std::vector<T>& v, std::size_t n) {
    v.reserve(n);
    prefault_for_writing(v.data(), v.capacity() * sizeof(T));
}

}  // namespace sys
