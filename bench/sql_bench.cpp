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
// The INSERTs run on a fresh copy of PACKAGE in a temporary folder (TMPDIR),
// written to the disk before the clock starts: a commit's sync would
// otherwise write out the whole fresh copy and charge it to the INSERTs.
// Every row gives the median of --runs runs (5 unless told). Milliseconds, wall and CPU (user + system: what
// other work on a shared machine does not inflate).
#include "child_process.h"
#include "process_meter.h"

#include "msi/automation.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    std::printf("%s\t%.3f\tcpu=%.3f\trows=%d\n", row, median(wall), median(cpu), rows);
}

// A fresh copy of `from` at `to`, on the disk when this returns.
void copy_to_disk(const fs::path& from, const fs::path& to) {
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    const int fd = ::open(to.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) std::fprintf(stderr, "sql_bench: cannot sync %s\n", to.c_str());
    if (fd >= 0) ::close(fd);
}

// A fresh folder under the system's temporary folder.
fs::path scratch_folder() {
    std::string name = (fs::temp_directory_path() / "sql_bench.XXXXXX").string();
    if (!::mkdtemp(name.data())) {
        std::perror("sql_bench: cannot make a scratch folder");
        std::exit(1);
    }
    return name;
}

// One timed run of a child on a fresh copy of `package` at `work`.
struct timed_run {
    double wall = 0, cpu = 0;
    int exit_status = 0;
};
timed_run run_on_copy(const fs::path& package, const fs::path& work, const std::vector<std::string>& argv) {
    copy_to_disk(package, work);
    const double start = bench::now_ms();
    const bench::child_result r = bench::run_child(argv, false);
    return {bench::now_ms() - start, r.cpu_ms, r.exit_status};
}

// The INSERT rows: `runs` runs of each program, taking turns so that a
// change in the machine's load falls on both alike; medians.
void time_inserts(const fs::path& package, const fs::path& work, const std::vector<std::string>& ours_argv, int inserts,
                  bool with_msibuild, int runs) {
    std::vector<std::string> msibuild_argv{"msibuild", work.string()};
    for (int i = 0; i < inserts; ++i) {
        msibuild_argv.push_back("-q");
        msibuild_argv.push_back(insert_statement(i));
    }
    std::vector<double> ours_wall, ours_cpu, theirs_wall, theirs_cpu;
    int ours_exit = 0, theirs_exit = 0;
    for (int run = 0; run < runs; ++run) {
        const timed_run ours = run_on_copy(package, work, ours_argv);
        ours_wall.push_back(ours.wall);
        ours_cpu.push_back(ours.cpu);
        ours_exit = std::max(ours_exit, ours.exit_status);
        if (!with_msibuild) continue;
        const timed_run theirs = run_on_copy(package, work, msibuild_argv);
        theirs_wall.push_back(theirs.wall);
        theirs_cpu.push_back(theirs.cpu);
        theirs_exit = std::max(theirs_exit, theirs.exit_status);
    }
    std::printf("inserts_ours\t%.3f\tcpu=%.3f\tstatements=%d\texit=%d\n", median(ours_wall), median(ours_cpu), inserts,
                ours_exit);
    if (!with_msibuild) return;
    std::printf("inserts_msibuild\t%.3f\tcpu=%.3f\tstatements=%d\texit=%d\n", median(theirs_wall), median(theirs_cpu),
                inserts, theirs_exit);
    std::printf("inserts_ratio\twall=%.1f\tcpu=%.1f\n", median(theirs_wall) / median(ours_wall),
                median(theirs_cpu) / median(ours_cpu));
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
    // Scratch files go to a folder of their own: the package may sit in a
    // cache that is not to be written.
    const fs::path scratch = scratch_folder();
    const fs::path work = scratch / (package.stem().string() + "_sqlbench.msi");
    const fs::path script = scratch / (package.stem().string() + "_sqlbench.sql");
    {
        std::ofstream out(script);
        for (int i = 0; i < inserts; ++i) out << insert_statement(i) << '\n';
    }
    std::printf("package\t%s\t%llu bytes\n", package.filename().c_str(),
                static_cast<unsigned long long>(fs::file_size(package)));

    time_inserts(package, work, {msi_transform.string(), "sql", work.string(), "-f", script.string()}, inserts,
                 with_msibuild, runs);
    time_select(package, "order_by", u"SELECT `Registry`, `Name`, `Value` FROM `Registry` ORDER BY `Name`, `Value`",
                runs);
    time_select(package, "join3",
                u"SELECT `File`.`FileName`, `Component`.`ComponentId`, `Registry`.`Registry` FROM `File`, `Component`, "
                u"`Registry` WHERE `File`.`Component_` = `Component`.`Component` AND `Registry`.`Component_` = "
                u"`Component`.`Component` AND `Registry`.`Name` = 'Value0042'",
                runs);
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return 0;
}
