#include "fuzz_entries.h"
#include "package_walk.h"
#include "scratch.h"

#include "msi/automation_error.h"
#include "msi/database.h"

namespace fuzz_entry {

namespace {

std::string first_difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (std::size_t i = 0; i < a.size() || i < b.size(); ++i) {
        const std::string x = i < a.size() ? a[i] : "<none>";
        const std::string y = i < b.size() ? b[i] : "<none>";
        if (x != y) return "before: " + x.substr(0, 200) + " / after: " + y.substr(0, 200);
    }
    return {};
}

}  // namespace

void commit_package(const std::uint8_t* data, std::size_t size) {
    const auto file = write_scratch("commit.msi", data, size);
    std::vector<std::string> before;
    std::map<std::u16string, std::vector<std::uint8_t>> untouched;
    try {
        auto db = msi::database::open(file, false);
        untouched = streams_outside_tables(*db);
        change_every_table(*db);
        before = dump_tables(*db);
        db->commit();
    } catch (const msi::automation_error&) {
        return;  // refused before or by the commit
    }
    std::shared_ptr<msi::database> again;
    try {
        again = msi::database::open(file, true);
    } catch (const msi::automation_error& e) {
        finding(std::string("a committed package no longer opens: ") + e.what());
    }
    const std::vector<std::string> after = dump_tables(*again);
    if (before != after) finding("a committed package reads back differently; " + first_difference(before, after));
    const auto streams_after = streams_outside_tables(*again);
    for (const auto& [name, bytes] : untouched) {
        auto it = streams_after.find(name);
        if (it == streams_after.end()) finding("a commit lost or broke a stream it had no reason to touch");
        if (it->second != bytes) finding("a commit changed a stream it had no reason to touch");
    }
    read_every_stream(*again);
}

}  // namespace fuzz_entry
