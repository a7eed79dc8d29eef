// libFuzzer harness: see fuzz_entry::open_package.
#include "entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_entry::open_package(data, size);
    return 0;
}
