// Commits interrupted at every write-side system call: an I/O error, a full
// disk, a crash, or a power loss that drops or tears the writes since the
// last sync. Afterwards the package must read, in Wine's msi.dll and in our
// engine, exactly as before the commit or as after it; a commit that failed
// must say so, and the same Database must commit again afterwards.
#include "support/cfb_fixtures.h"
#include "faulty_write_calls.h"

#include "msi/automation.h"
#include "msi/db/package_database.h"
#include "msi/inspection.h"
#include "msi/db/string_pool.h"
#include "support/msi_oracle.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <set>

using namespace cfb_test;
namespace fs = std::filesystem;

namespace {

struct package_kind {
    std::string name;
    fs::path package;
    std::function<void(msi::Database&)> change;
    std::vector<std::string> tables;  // what the oracle compares, beside _Streams
};

void execute(msi::Database& db, const std::u16string& sql) { db.OpenView(sql)->Execute(); }

void insert_rows(msi::Database& db, const char16_t* table, const std::string& prefix, int count) {
    msi::package_database& engine = db.engine();
    msi::table& t = engine.get_table(table);
    msi::cell_value str;
    str.type = msi::cell_value::kind::string;
    for (int i = 0; i < count; ++i) {
        const std::string key = prefix + std::to_string(i), value = std::string(60, 'v') + std::to_string(i);
        engine.insert_row(t, {str, str},
                          {std::u16string(key.begin(), key.end()), std::u16string(value.begin(), value.end())});
    }
}

void change_marker(msi::Database& db) {
    execute(db, u"UPDATE Property SET Value = 'NewValue1' WHERE Property = 'Marker'");
    insert_rows(db, u"Property", "Added", 3);
}

// Every table and stream as our engine reads them.
std::string our_reading(const fs::path& file) {
    auto db = msi::package_database::open(file, true);
    msi::Database facade(db);
    std::string out = msi::inspect::dump_tables(facade, {});
    for (const auto& name : db->storage().stream_names()) {
        const auto bytes = db->storage().read_stream(name);
        out += std::to_string(bytes.size()) + " " +
               std::to_string(std::hash<std::string_view>{}(
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) +
               "\n";
    }
    return out;
}

std::string oracle_reading(const fs::path& file, const package_kind& kind) {
    std::vector<std::string> tables = kind.tables;
    tables.push_back("_Streams");
    return test_support::oracle_dump(file, tables);
}

enum class reading { before, after, neither };

struct readings {
    std::string before, after;
    reading of(const std::function<std::string()>& read) const {
        try {
            const std::string now = read();
            return now == before ? reading::before : now == after ? reading::after : reading::neither;
        } catch (const std::exception&) {
            return reading::neither;
        }
    }
};

struct sweep_figures {
    int points = 0;    // faults injected
    int neither = 0;   // outcomes our engine or the oracle read as neither state
    int outcomes = 0;  // distinct files the oracle judged
};

// Which faults to inject: every `stride`-th call, with these errors, and
// crashes with power losses of these seeds.
struct sweep_plan {
    int stride = 1;
    std::vector<int> errors{EIO, ENOSPC};
    std::vector<std::uint32_t> power_loss_seeds{1, 2, 3};
    bool oracle = true;
};

class sweep {
public:
    sweep(const package_kind& kind, const sweep_plan& plan) : kind_(kind), plan_(plan) {}

    sweep_figures run() {
        const fs::path committed = dir_ / "committed.msi";
        fs::copy_file(kind_.package, committed);
        int calls = 0;
        {
            auto db = open(committed);
            kind_.change(*db);
            faulty_write_calls count;
            db->Commit();
            calls = count.calls();
        }
        EXPECT_GT(calls, 2) << kind_.name;
        ours_ = {our_reading(kind_.package), our_reading(committed)};
        EXPECT_NE(ours_.before, ours_.after) << kind_.name;
        if (plan_.oracle) {
            oracle_ = {oracle_reading(kind_.package, kind_), oracle_reading(committed, kind_)};
            EXPECT_NE(oracle_.before, oracle_.after) << kind_.name;
        }

        for (int n = 1; n <= calls; n += plan_.stride) {
            for (int error : plan_.errors) try_fault(n, error, std::nullopt);
            try_fault(n, 0, std::nullopt);
            for (std::uint32_t seed : plan_.power_loss_seeds) try_fault(n, 0, seed);
        }
        for (const auto& [hash, file] : outcomes_) {
            ++figures_.outcomes;
            if (plan_.oracle && oracle_.of([&] { return oracle_reading(file, kind_); }) == reading::neither) {
                ADD_FAILURE() << kind_.name << ": the oracle reads " << file.filename() << " as neither state";
                ++figures_.neither;
            }
        }
        std::cout << "[ sweep    ] " << kind_.name << ": " << calls << " write-side calls, " << figures_.points
                  << " points, " << figures_.neither << " neither before nor after, " << figures_.outcomes
                  << " distinct files judged\n";
        return figures_;
    }

private:
    std::shared_ptr<msi::Database> open(const fs::path& file) {
        return msi::create_installer()->OpenDatabase(file, msi::msiOpenDatabaseModeTransact);
    }

    // error: the errno of a failing call; 0: a crash, with a power loss when `seed` is set.
    void try_fault(int n, int error, std::optional<std::uint32_t> seed) {
        ++figures_.points;
        const std::string point = kind_.name + ", call " + std::to_string(n) +
                                  (error  ? std::string(", ") + std::strerror(error)
                                   : seed ? ", power loss " + std::to_string(*seed)
                                          : ", crash");
        const fs::path file = dir_ / "work.msi";
        fs::copy_file(kind_.package, file, fs::copy_options::overwrite_existing);
        auto db = open(file);
        kind_.change(*db);
        std::string message;
        {
            faulty_write_calls faults;
            error ? faults.fail_at(n, error) : faults.crash_at(n);
            try {
                db->Commit();
            } catch (const msi::automation_error& e) {
                message = e.what();
            }
            if (seed) faults.lose_unsynced_writes(*seed);
        }
        if (error) {
            EXPECT_NE(message.find(file.string()), std::string::npos) << point << ": " << message;
            EXPECT_NE(message.find(std::strerror(error)), std::string::npos) << point << ": " << message;
        }
        const reading ours = ours_.of([&] { return our_reading(file); });
        if (ours == reading::neither) {
            ADD_FAILURE() << point << ": our engine reads the package as neither state";
            ++figures_.neither;
        }
        if (!message.empty() && ours == reading::before)
            EXPECT_NE(message.find("left as it was"), std::string::npos) << point << ": " << message;
        const std::string bytes = file_bytes(file);
        const std::size_t hash = std::hash<std::string>{}(bytes);
        if (!outcomes_.count(hash)) {
            const fs::path kept = dir_ / ("outcome-" + std::to_string(outcomes_.size()) + ".msi");
            fs::copy_file(file, kept);
            outcomes_.emplace(hash, kept);
        }
        if (!message.empty()) {
            // The same Database commits once the disk works again.
            try {
                db->Commit();
            } catch (const msi::automation_error& e) {
                ADD_FAILURE() << point << ": the commit after the failure failed too: " << e.what();
            }
            EXPECT_EQ(ours_.of([&] { return our_reading(file); }), reading::after) << point;
        }
    }

    const package_kind& kind_;
    sweep_plan plan_;
    test_support::temp_dir dir_{"quorlin-commit-faults"};
    readings ours_, oracle_;
    std::map<std::size_t, fs::path> outcomes_;
    sweep_figures figures_;
};

package_kind sectors_512(const fs::path& dir) {
    return {"512-byte sectors", build_package(dir, {.long_value = true}), change_marker, {"Property"}};
}

package_kind sectors_4096(const fs::path& dir) {
    const fs::path v4 = dir / "package-v4.msi";
    convert_to_version4(build_package(dir, {.long_value = true}), v4);
    return {"4096-byte sectors", v4, change_marker, {"Property"}};
}

// A package this engine committed before: the change reuses the sectors the
// earlier state left free, among those the committed state uses.
package_kind after_an_earlier_commit(const fs::path& dir) {
    const fs::path file = dir / "package-recommitted.msi";
    fs::copy_file(build_package(dir, {.long_value = true}), file);
    {
        auto db = msi::create_installer()->OpenDatabase(file, msi::msiOpenDatabaseModeTransact);
        execute(*db, u"UPDATE Property SET Value = 'Changed' WHERE Property = 'ProductName'");
        insert_rows(*db, u"Property", "Earlier", 20);
        db->Commit();
    }
    return {"reusing sectors an earlier commit freed", file, change_marker, {"Property"}};
}

// Every stream is small: the change rewrites and extends the mini stream.
package_kind mini_stream_moves(const fs::path& dir) {
    return {"mini stream moves",
            build_package(dir, {.long_value = false}),
            [](msi::Database& db) {
                change_marker(db);
                insert_rows(db, u"Property", "Grown", 30);
            },
            {"Property"}};
}

// 101 FAT sectors, all listed in the header; the change needs more, so the
// first DIFAT sector appears.
package_kind fat_grows_past_header(const fs::path& dir) {
    test_support::msi_source source;
    source.tables.push_back(test_support::property_table({{"Marker", "OldValue1"}}));
    source.streams.emplace_back("big.bin", pseudo_random(6'500'000, 11));
    const fs::path file = dir / "package-fat.msi";
    test_support::build_msi(file, source);
    return {"FAT grows past the header into a DIFAT sector",
            file,
            [](msi::Database& db) {
                change_marker(db);
                const std::string added = pseudo_random(1'000'000, 12);
                db.engine().storage().write_stream(plain_stream("added.bin"), to_bytes(added));
            },
            {"Property"}};
}

// 32,000 strings, stored by msibuild with 2-byte references: the 34,000 the
// change adds take the ids past 65,535, and every string reference of every
// table gets a third byte.
package_kind references_grow_to_three_bytes(const fs::path& dir) {
    test_support::msi_source source;
    source.tables.push_back(test_support::property_table({{"Marker", "OldValue1"}}));
    std::string many = "Key\tValue\ns72\tS255\nMany\tKey\n";
    for (int i = 0; i < 32000; ++i) many += "k" + std::to_string(i) + "\t\n";
    source.tables.push_back({"Many", many});
    const fs::path file = dir / "package-3byte.msi";
    test_support::build_msi(file, source);
    return {"string references grow to 3 bytes",
            file,
            [](msi::Database& db) {
                EXPECT_EQ(db.engine().strings().stored_reference_width(), 2);
                change_marker(db);
                insert_rows(db, u"Many", "n", 17000);
                EXPECT_EQ(db.engine().strings().reference_width(), 3);
            },
            {"Property", "Many"}};
}

}  // namespace

// Every call on the two sector sizes and on a package committed before,
// judged by our engine alone.
TEST(CommitFaults, SampledSweepReadsAsBeforeOrAfter) {
    test_support::temp_dir dir;
    const sweep_plan plan{.stride = 1, .errors = {EIO}, .power_loss_seeds = {1}, .oracle = false};
    for (const package_kind& kind :
         {sectors_512(dir.path()), sectors_4096(dir.path()), after_an_earlier_commit(dir.path())})
        EXPECT_EQ(sweep(kind, plan).run().neither, 0);
}

TEST(CommitFaults, SampledSweepJudgedByTheOracle) {
    test_support::temp_dir dir;
    const sweep_plan plan{.stride = 2, .errors = {ENOSPC}, .power_loss_seeds = {2}, .oracle = true};
    for (const package_kind& kind : {sectors_512(dir.path()), mini_stream_moves(dir.path())})
        EXPECT_EQ(sweep(kind, plan).run().neither, 0);
}

TEST(CommitFaults, FullSweepJudgedByTheOracle) {
    test_support::temp_dir dir;
    for (const package_kind& kind :
         {sectors_512(dir.path()), sectors_4096(dir.path()), after_an_earlier_commit(dir.path()),
          mini_stream_moves(dir.path()), fat_grows_past_header(dir.path()), references_grow_to_three_bytes(dir.path())})
        EXPECT_EQ(sweep(kind, {}).run().neither, 0);
}
