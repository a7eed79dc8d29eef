// sql_bench: what the installer's SQL costs on a large package, beside
// msibuild doing the same. Prints tab-separated rows; asserts nothing.
//
//   sql_bench [--inserts N] [--runs N] [--no-msibuild] --msi-transform PATH PACKAGE
//
// Rows:
//   inserts_ours      N INSERTs and one commit, one msi-transform sql -f process
//   inserts_msibuild  the same N statements as -q arguments of one msibuild
//   order_by          SELECT ... ORDER BY over the Registry table (in process)
//   join3             File, Component and Registry joined (in process)
// The INSERTs run on a fresh copy of PACKAGE beside it, written to the disk
// before the clock starts: a commit's sync would otherwise write out the
// whole fresh copy and charge it to the INSERTs. The SELECTs give the
// median of --runs runs. Milliseconds, wall and CPU (user + system: what
// other work on a shared machine does not inflate).
#include "child_process.h"
#include "process_meter.h"

#include "msi/automation.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string insert_statement(int i) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "INSERT INTO `Property` (`Property`, `Value`) VALUES ('BENCH_SQL_%05d', 'value %d')", i, i);
    return text;
}

// Median wall and CPU milliseconds of `runs` runs of a SELECT through the
// facade, in this process, fetching every row.
void time_select(const fs::path& package, const char* row, const std::u16string& sql, int runs) {
    msi::Installer installer;
    auto db = installer.OpenDatabase(package, msi::msiOpenDatabaseModeReadOnly);
    try {
        db->OpenView(sql)->Execute();  // tables read once, outside the measure
    } catch (const msi::automation_error& e) {
        std::printf("%s	skipped	%s\n", row, e.what());
        return;
    }
    std::vector<double> wall, cpu;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        const double start = bench::now_ms(), start_cpu = bench::cpu_ms();
        auto view = db->OpenView(sql);
        view->Execute();
        rows = 0;
        while (view->Fetch()) ++rows;
        wall.push_back(bench::now_ms() - start);
        cpu.push_back(bench::cpu_ms() - start_cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%s\t%.3f\tcpu=%.3f\trows=%d\n", row, wall[wall.size() / 2], cpu[cpu.size() / 2], rows);
}

// A fresh copy of `from` at `to`, on the disk when this returns.
void copy_to_disk(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    const int fd = ::open(to.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) std::fprintf(stderr, "sql_bench: cannot sync %s\n", to.c_str());
    if (fd >= 0) ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    int inserts = 10000, runs = 5;
    bool with_msibuild = true;
    fs::path msi_transform, package;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--inserts" && i + 1 < argc)
            inserts = std::stoi(argv[++i]);
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::stoi(argv[++i]));
        else if (a == "--no-msibuild")
            with_msibuild = false;
        else if (a == "--msi-transform" && i + 1 < argc)
            msi_transform = argv[++i];
        else
            package = a;
    }
    if (package.empty() || msi_transform.empty()) {
        std::fprintf(stderr,
                     "usage: sql_bench [--inserts N] [--runs N] [--no-msibuild] --msi-transform PATH PACKAGE\n");
        return 2;
    }
    const fs::path work = package.parent_path() / (package.stem().string() + "_sqlbench.msi");
    const fs::path script = package.parent_path() / (package.stem().string() + "_sqlbench.sql");
    {
        std::ofstream out(script);
        for (int i = 0; i < inserts; ++i) out << insert_statement(i) << '\n';
    }
    std::printf("package\t%s\t%llu bytes\n", package.filename().c_str(),
                static_cast<unsigned long long>(fs::file_size(package)));

    copy_to_disk(package, work);
    double start = bench::now_ms();
    bench::child_result ours =
        bench::run_child({msi_transform.string(), "sql", work.string(), "-f", script.string()}, false);
    const double ours_ms = bench::now_ms() - start;
    std::printf("inserts_ours\t%.3f\tcpu=%.3f\tstatements=%d\texit=%d\n", ours_ms, ours.cpu_ms, inserts,
                ours.exit_status);

    if (with_msibuild) {
        copy_to_disk(package, work);
        std::vector<std::string> argv_msibuild{"msibuild", work.string()};
        for (int i = 0; i < inserts; ++i) {
            argv_msibuild.push_back("-q");
            argv_msibuild.push_back(insert_statement(i));
        }
        start = bench::now_ms();
        bench::child_result theirs = bench::run_child(argv_msibuild, false);
        const double theirs_ms = bench::now_ms() - start;
        std::printf("inserts_msibuild\t%.3f\tcpu=%.3f\tstatements=%d\texit=%d\n", theirs_ms, theirs.cpu_ms, inserts,
                    theirs.exit_status);
        std::printf("inserts_ratio\twall=%.1f\tcpu=%.1f\n", ours_ms > 0 ? theirs_ms / ours_ms : 0.0,
                    ours.cpu_ms > 0 ? theirs.cpu_ms / ours.cpu_ms : 0.0);
    }

    time_select(package, "order_by", u"SELECT `Registry`, `Name`, `Value` FROM `Registry` ORDER BY `Name`, `Value`",
                runs);
    time_select(package, "join3",
                u"SELECT `File`.`FileName`, `Component`.`ComponentId`, `Registry`.`Registry` FROM `File`, `Component`, "
                u"`Registry` WHERE `File`.`Component_` = `Component`.`Component` AND `Registry`.`Component_` = "
                u"`Component`.`Component` AND `Registry`.`Name` = 'Value0042'",
                runs);
    std::error_code ec;
    fs::remove(work, ec);
    fs::remove(script, ec);
    return 0;
}
