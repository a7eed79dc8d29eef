// libFuzzer harness: see fuzz_entry::apply_transform.
#include "entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_entry::apply_transform(data, size);
    return 0;
}
