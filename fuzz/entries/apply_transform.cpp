#include "fuzz_entries.h"
#include "package_walk.h"
#include "scratch.h"

#include "msi/automation_error.h"
#include "msi/db/package_database.h"
#include "msi/transform/apply.h"

namespace fuzz_entry {

void apply_transform(const std::uint8_t* data, std::size_t size) {
    const auto transform = write_scratch("input.mst", data, size);
    const auto target = scratch_dir() / "apply-target.msi";
    std::filesystem::copy_file(sql_package(), target, std::filesystem::copy_options::overwrite_existing);
    std::shared_ptr<msi::package_database> db;
    try {
        db = msi::package_database::open(target, false);
    } catch (const msi::automation_error& e) {
        finding(std::string("the package for the apply entry does not open: ") + e.what());
    }
    const std::vector<std::string> before = dump_tables(*db);
    // First with every condition an error, then with every one suppressed.
    for (int suppressed : {0, 0x3F}) {
        try {
            msi::apply_transform(*db, transform, suppressed);
        } catch (const msi::automation_error&) {
            if (db->has_changes()) finding("a refused transform left changes to commit");
            const auto now = dump_tables(*db);
            if (now != before) finding("a refused transform changed the database; " + first_difference(before, now));
            continue;
        }
        const std::vector<std::string> applied = dump_tables(*db);
        try {
            db->commit();
        } catch (const msi::automation_error&) {
            break;  // a result the file cannot hold (a stream name too long, say) is refused whole
        }
        std::shared_ptr<msi::package_database> again;
        try {
            again = msi::package_database::open(target, true);
        } catch (const msi::automation_error& e) {
            finding(std::string("a transformed package no longer opens: ") + e.what());
        }
        const auto after = dump_tables(*again);
        if (after != applied)
            finding("a transformed package reads back differently; " + first_difference(applied, after));
        break;
    }
    if (read_file(transform) != std::string(reinterpret_cast<const char*>(data), size))
        finding("applying a transform changed the transform file");
}

}  // namespace fuzz_entry
