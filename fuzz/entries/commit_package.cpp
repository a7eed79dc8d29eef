#include "fuzz_entries.h"
#include "package_walk.h"
#include "scratch.h"

#include "msi/automation_error.h"
#include "msi/db/package_database.h"

namespace fuzz_entry {

namespace {

// Drops the rows of tables that could not be read before the commit: a commit
// may repair what the reader refused (a chain longer than its stream is cut
// to its size), so only tables that were readable are held to reading back
// the same.
std::vector<std::string> readable_before(const std::vector<std::string>& before, std::vector<std::string> lines) {
    std::vector<std::string> unreadable;
    for (const auto& line : before)
        if (line.rfind("#unreadable\t", 0) == 0) unreadable.push_back(line.substr(12) + "\t");
    std::erase_if(lines, [&](const std::string& line) {
        for (const auto& name : unreadable)
            if (line.rfind(name, 0) == 0 || line == "#unreadable\t" + name.substr(0, name.size() - 1)) return true;
        return false;
    });
    return lines;
}

}  // namespace

void commit_package(const std::uint8_t* data, std::size_t size) {
    const auto file = write_scratch("commit.msi", data, size);
    std::vector<std::string> before;
    std::map<std::u16string, std::vector<std::uint8_t>> untouched;
    try {
        auto db = msi::package_database::open(file, false);
        untouched = streams_outside_tables(*db);
        change_every_table(*db);
        before = dump_tables(*db);
        db->commit();
    } catch (const msi::automation_error&) {
        return;  // refused before or by the commit
    }
    std::shared_ptr<msi::package_database> again;
    try {
        again = msi::package_database::open(file, true);
    } catch (const msi::automation_error& e) {
        finding(std::string("a committed package no longer opens: ") + e.what());
    }
    const std::vector<std::string> after = readable_before(before, dump_tables(*again));
    before = readable_before(before, before);
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
