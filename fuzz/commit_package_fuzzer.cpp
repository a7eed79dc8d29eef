// libFuzzer harness: see fuzz_entry::commit_package.
#include "entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_entry::commit_package(data, size);
    return 0;
}
