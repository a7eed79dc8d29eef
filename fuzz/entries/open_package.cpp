#include "fuzz_entries.h"
#include "package_walk.h"
#include "scratch.h"

#include <algorithm>

#include "msi/automation.h"
#include "msi/db/package_database.h"

namespace fuzz_entry {

namespace {

void select_every_table(msi::Database& db) {
    for (const auto& name : db.engine().table_names()) {
        try {
            auto view = db.OpenView(u"SELECT * FROM `" + name + u"`");
            view->Execute();
            while (auto record = view->Fetch())
                for (int f = 1; f <= record->FieldCount(); ++f) (void)record->StringData(f);
        } catch (const msi::automation_error&) {}
    }
}

}  // namespace

void open_package(const std::uint8_t* data, std::size_t size) {
    const auto bytes = std::make_shared<const std::vector<std::uint8_t>>(data, data + size);
    for (int mode : {msi::msiOpenDatabaseModeReadOnly, msi::msiOpenDatabaseModeTransact}) {
        try {
            msi::Installer installer;
            auto db = installer.OpenDatabase(bytes, mode);
            (void)dump_tables(db->engine());
            select_every_table(*db);
            read_every_stream(db->engine());
        } catch (const msi::automation_error&) {}
        if (!std::equal(bytes->begin(), bytes->end(), data)) finding("opening and reading changed the package");
    }
}

}  // namespace fuzz_entry
