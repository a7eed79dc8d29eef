// libFuzzer harness: see fuzz_entry::run_sql.
#include "entries/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_entry::run_sql(data, size);
    return 0;
}
