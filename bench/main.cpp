// quorlin-bench: what the utility's job costs on packages of every size,
// beside the physical floor (a plain copy of the file) and beside msitools
// doing the same twenty updates; then the engine's own costs (open, applying
// the transform the job made, commit, one msi-transform sql process against
// one msibuild -q process), ending with a table over all packages. Inputs
// come from bench/make-inputs.sh.
//
//   quorlin-bench [--cycles N] [--no-msibuild] [--msi-transform PATH] [--headless PROGRAM] PACKAGE...
//
// With --headless, PROGRAM (quorlin-deploy) also runs "--generate" on each
// package as a shell would start it: process start to transform written.
//
// Each package is measured in a child process of its own, so that peaks of
// memory do not mix between sizes. The child first reads the package once so
// that it sits in the page cache; then, per cycle, it flushes dirty pages
// (syncfs), copies the file plainly, flushes again and runs the utility's job,
// so the copy and the load both read from the cache and write into it the
// same way. Wall times are medians over the cycles; peaks are the largest.
#include "child_process.h"
#include "engine_job.h"
#include "process_meter.h"
#include "utility_job.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace bench;

namespace {

void flush_dirty_pages(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// Reads the whole file (which also puts it in the page cache) and returns
// a digest of its bytes (64-bit FNV-1a over 8-byte words).
std::uint64_t read_whole_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    std::uint64_t digest = 0xcbf29ce484222325ull;
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        const std::size_t n = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < n; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, buffer.data() + i, std::min<std::size_t>(8, n - i));
            digest = (digest ^ word) * 0x100000001b3ull;
        }
    }
    return digest;
}

void print_phase(const char* name, const phase_cost& c) {
    std::printf("phase\t%s\t%.3f\t%.3f\t%llu\t%llu\t%llu\n", name, c.wall_ms, c.cpu_ms,
                static_cast<unsigned long long>(c.peak_rss_bytes), static_cast<unsigned long long>(c.read_chars),
                static_cast<unsigned long long>(c.write_bytes));
}

// The engine's cycles, on a copy of the package made once; `transform`
// (the utility's, when it made one) is applied to a fresh copy each cycle.
void measure_engine(const fs::path& package, const fs::path& transform, const fs::path& msi_transform, int cycles,
                    bool with_msibuild) {
    const fs::path work = package.parent_path() / (package.stem().string() + "_engine" + package.extension().string());
    fs::copy_file(package, work, fs::copy_options::overwrite_existing);
    flush_dirty_pages(package.parent_path());
    bool apply_failed = false, sql_failed = false, msibuild_failed = false;
    try {
        for (int cycle = 0; cycle < cycles; ++cycle) {
            const engine_costs c = run_engine_cycle(package, work, transform, msi_transform, cycle, with_msibuild);
            print_phase("engine_open", c.open);
            if (!transform.empty() && !c.apply_failed) print_phase("engine_apply", c.apply);
            apply_failed = apply_failed || c.apply_failed;
            print_phase("engine_update", c.update);
            print_phase("engine_commit", c.commit);
            print_phase("sql_ours", c.sql_process);
            if (with_msibuild) print_phase("sql_msibuild", c.msibuild_process);
            sql_failed = sql_failed || c.sql_failed;
            msibuild_failed = msibuild_failed || c.msibuild_failed;
        }
    } catch (...) {
        std::error_code ec;
        fs::remove(work, ec);
        throw;
    }
    std::error_code ec;
    fs::remove(work, ec);
    std::printf("engine_failed\t%s%s%s\n", apply_failed ? "ApplyTransform " : "", sql_failed ? "msi-transform " : "",
                msibuild_failed ? "msibuild" : "");
}

// The child's side: measures one package and prints tab-separated lines.
int measure_package(const fs::path& package, int cycles, const fs::path& msi_transform, bool with_msibuild) {
    const fs::path folder = package.parent_path();
    const fs::path plain_copy = folder / (package.stem().string() + "_plaincopy" + package.extension().string());
    const fs::path transform = folder / (package.stem().string() + "_bench.mst");
    const std::uint64_t digest = read_whole_file(package);
    utility_costs last;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        std::error_code ec;
        fs::remove(plain_copy, ec);
        flush_dirty_pages(folder);
        phase_meter copy;
        fs::copy_file(package, plain_copy, fs::copy_options::overwrite_existing);
        print_phase("copy", copy.stop());
        fs::remove(plain_copy, ec);
        flush_dirty_pages(folder);
        last = run_utility_job(package, cycle + 1 == cycles ? transform : fs::path());
        print_phase("load", last.load);
        print_phase("writes", last.writes);
        print_phase("transform", last.transform);
    }
    for (const auto& w : last.written) std::printf("write\t%s\n", msibuild_statement(w).c_str());
    std::string outcome = last.outcome;
    std::replace(outcome.begin(), outcome.end(), '\n', ' ');
    std::printf("outcome\t%s\n", outcome.c_str());
    std::printf("transform_size\t%llu\n", static_cast<unsigned long long>(last.transform_size));
    std::error_code ec;
    measure_engine(package, fs::exists(transform, ec) ? transform : fs::path(), msi_transform, cycles, with_msibuild);
    fs::remove(transform, ec);
    std::printf("unchanged\t%s\n", read_whole_file(package) == digest ? "yes" : "NO: the package file changed");
    return 0;
}

struct phase_summary {
    std::vector<phase_cost> runs;
    double median_ms(bool cpu = false) const {
        std::vector<double> t;
        for (const auto& r : runs) t.push_back(cpu ? r.cpu_ms : r.wall_ms);
        if (t.empty()) return 0;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
    std::uint64_t peak() const {
        std::uint64_t p = 0;
        for (const auto& r : runs) p = std::max(p, r.peak_rss_bytes);
        return p;
    }
    // Bytes of the last run (every run does the same I/O).
    std::uint64_t written() const { return runs.empty() ? 0 : runs.back().write_bytes; }
    std::uint64_t read() const { return runs.empty() ? 0 : runs.back().read_chars; }
};

struct package_report {
    std::map<std::string, phase_summary> phases;
    std::vector<std::string> statements;
    std::string outcome;
    std::string transform_size;
    std::string unchanged;
    std::string engine_failed;
};

package_report parse_report(const std::string& text) {
    package_report report;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        std::getline(fields, kind, '\t');
        if (kind == "phase") {
            std::string name;
            phase_cost c;
            unsigned long long peak, read, written;
            fields >> name >> c.wall_ms >> c.cpu_ms >> peak >> read >> written;
            c.peak_rss_bytes = peak;
            c.read_chars = read;
            c.write_bytes = written;
            report.phases[name].runs.push_back(c);
        } else if (kind == "write") {
            report.statements.push_back(line.substr(6));
        } else if (kind == "outcome") {
            report.outcome = line.substr(8);
        } else if (kind == "transform_size") {
            report.transform_size = line.substr(15);
        } else if (kind == "unchanged") {
            report.unchanged = line.substr(10);
        } else if (kind == "engine_failed") {
            report.engine_failed = line.substr(14);
        }
    }
    return report;
}

struct msibuild_cost {
    bool ran = false;
    bool failed = false;
    double wall_ms = 0;
    double cpu_ms = 0;
    std::uint64_t peak = 0;
    std::uint64_t written = 0;
    std::uint64_t read = 0;
};

// The same updates with msitools as a Linux user has them today: one
// msibuild call per update, on a copy of the package.
msibuild_cost run_msibuild(const fs::path& package, const std::vector<std::string>& statements) {
    msibuild_cost cost;
    const fs::path work =
        package.parent_path() / (package.stem().string() + "_msibuild" + package.extension().string());
    fs::copy_file(package, work, fs::copy_options::overwrite_existing);
    flush_dirty_pages(package.parent_path());
    const io_counters before = read_io_counters();
    const double start = now_ms();
    for (const auto& statement : statements) {
        const child_result r = run_child({"msibuild", work.string(), "-q", statement}, false);
        cost.failed = cost.failed || r.exit_status != 0;
        cost.peak = std::max(cost.peak, r.peak_rss_bytes);
        cost.cpu_ms += r.cpu_ms;
    }
    cost.wall_ms = now_ms() - start;
    const io_counters after = read_io_counters();
    cost.written = after.write_bytes - before.write_bytes;
    cost.read = after.read_chars - before.read_chars;
    cost.ran = true;
    std::error_code ec;
    fs::remove(work, ec);
    return cost;
}

std::string mb(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

void print_row(const char* label, double ms, double cpu, std::uint64_t peak, std::uint64_t written,
               std::uint64_t read) {
    std::printf("  %-36s %10.1f %9.1f %12s %11s %9s\n", label, ms, cpu, mb(peak).c_str(), mb(written).c_str(),
                mb(read).c_str());
}

void print_report(const fs::path& package, const package_report& r, const msibuild_cost& m, std::uint64_t child_peak,
                  int cycles) {
    const auto size = fs::file_size(package);
    std::printf("\n%s: %llu bytes (%s MB), %d cycle(s): median wall time, largest peak\n", package.filename().c_str(),
                static_cast<unsigned long long>(size), mb(size).c_str(), cycles);
    std::printf("  %-36s %10s %9s %12s %11s %9s\n", "", "wall ms", "CPU ms", "peak RSS MB", "written MB", "read MB");
    auto at = [&](const char* name) -> const phase_summary& {
        static const phase_summary none;
        auto it = r.phases.find(name);
        return it == r.phases.end() ? none : it->second;
    };
    const auto& copy = at("copy");
    const auto& load = at("load");
    const auto& writes = at("writes");
    const auto& transform = at("transform");
    print_row("plain copy of the file (floor)", copy.median_ms(), copy.median_ms(true), copy.peak(), copy.written(),
              copy.read());
    print_row("load: copy, open both, 19 reads", load.median_ms(), load.median_ms(true), load.peak(), load.written(),
              load.read());
    print_row("twenty committed writes", writes.median_ms(), writes.median_ms(true), writes.peak(), writes.written(),
              writes.read());
    print_row("transform + summary information", transform.median_ms(), transform.median_ms(true), transform.peak(),
              transform.written(), transform.read());
    const double ours = writes.median_ms() + transform.median_ms();
    const double ours_cpu = writes.median_ms(true) + transform.median_ms(true);
    if (m.ran)
        print_row(m.failed ? "msibuild -q, twenty updates (FAILED)" : "msibuild -q, twenty updates", m.wall_ms,
                  m.cpu_ms, m.peak, m.written, m.read);
    std::printf(
        "  load / copy = %.2f wall, %.2f CPU (target <= 1.2); writes + transform = %.1f ms wall, %.1f ms CPU "
        "(target < 50)\n",
        load.median_ms() / std::max(copy.median_ms(), 1e-3),
        load.median_ms(true) / std::max(copy.median_ms(true), 1e-3), ours, ours_cpu);
    if (m.ran)
        std::printf(
            "  msibuild / ours (twenty updates vs. writes + transform) = %.0fx wall, %.0fx CPU "
            "(target >= 100 at 200 MB)",
            m.wall_ms / std::max(ours, 1e-3), m.cpu_ms / std::max(ours_cpu, 1e-3));
    std::printf("\n  peak RSS of the utility's job: %s MB (target < 64 at 1 GB; child process max %s MB)\n",
                mb(std::max({load.peak(), writes.peak(), transform.peak()})).c_str(), mb(child_peak).c_str());
    std::printf("  transform: %s bytes; outcome: %s\n", r.transform_size.c_str(), r.outcome.c_str());
    std::printf("  package file byte for byte the same after every cycle: %s\n", r.unchanged.c_str());
}

// One line of the closing table: the engine on one package.
struct engine_row {
    std::string package;
    std::uint64_t size = 0;
    phase_summary open, apply, update, commit, ours, msibuild;
    std::string failed;
};

engine_row engine_row_of(const fs::path& package, const package_report& r) {
    engine_row row;
    row.package = package.filename().string();
    row.size = fs::file_size(package);
    auto at = [&](const char* name) {
        auto it = r.phases.find(name);
        return it == r.phases.end() ? phase_summary{} : it->second;
    };
    row.open = at("engine_open");
    row.apply = at("engine_apply");
    row.update = at("engine_update");
    row.commit = at("engine_commit");
    row.ours = at("sql_ours");
    row.msibuild = at("sql_msibuild");
    row.failed = r.engine_failed;
    return row;
}

std::string wall_and_cpu(const phase_summary& p) {
    if (p.runs.empty()) return "-";
    char text[48];
    std::snprintf(text, sizeof text, "%.1f / %.1f", p.median_ms(), p.median_ms(true));
    return text;
}

void print_engine_table(const std::vector<engine_row>& rows, int cycles) {
    std::printf("\nThe engine, medians of %d cycle(s); each cell: wall ms / CPU ms (user + system)\n", cycles);
    std::printf("%-20s %8s | %13s | %13s | %13s | %13s | %17s | %17s | %15s\n", "package", "MB", "open", "apply",
                "update", "commit", "msi-transform sql", "msibuild -q", "msibuild / ours");
    for (const engine_row& r : rows) {
        char ratio[48] = "-";
        if (!r.msibuild.runs.empty() && !r.ours.runs.empty())
            std::snprintf(ratio, sizeof ratio, "%.0fx / %.0fx",
                          r.msibuild.median_ms() / std::max(r.ours.median_ms(), 1e-3),
                          r.msibuild.median_ms(true) / std::max(r.ours.median_ms(true), 1e-3));
        std::printf("%-20s %8s | %13s | %13s | %13s | %13s | %17s | %17s | %15s\n", r.package.c_str(),
                    mb(r.size).c_str(), wall_and_cpu(r.open).c_str(), wall_and_cpu(r.apply).c_str(),
                    wall_and_cpu(r.update).c_str(), wall_and_cpu(r.commit).c_str(), wall_and_cpu(r.ours).c_str(),
                    wall_and_cpu(r.msibuild).c_str(), ratio);
        if (!r.failed.empty()) std::printf("  FAILED: %s exited with an error\n", r.failed.c_str());
    }
    std::printf(
        "open: OpenDatabase (transact) in this process; apply: ApplyTransform of the transform the utility's\n"
        "job made (its twenty settings), then Commit, on a fresh copy of the package;\n"
        "update: Execute of one UPDATE of a Property value; commit: Commit of that change;\n"
        "msi-transform sql / msibuild -q: one process each, start to exit, open + one UPDATE + commit\n"
        "(the same statement, on the same copy). Target: msibuild / ours >= 100x at 200 MB.\n");
}

// The command-line job, from process start to transform written, median
// over the cycles; the package's page cache is warm from the measurement.
void print_headless(const fs::path& program, const fs::path& package, int cycles) {
    const fs::path out = package.parent_path() / (package.stem().string() + "_headless.mst");
    std::vector<double> wall;
    child_result last;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        std::error_code ec;
        fs::remove(out, ec);
        flush_dirty_pages(package.parent_path());
        const double start = now_ms();
        last = run_child({program.string(), "--generate", package.string(), "--agree-to-terms", "--set",
                          "enable_box=on", "--set", "print_profile=pcl", "--output", out.string()},
                         true);
        wall.push_back(now_ms() - start);
        if (last.exit_status != 0) break;
    }
    std::sort(wall.begin(), wall.end());
    std::error_code ec;
    const auto size = fs::file_size(out, ec);
    std::printf(
        "  headless --generate, process start to transform written: %.1f ms wall (median of %zu), "
        "%.1f ms CPU, peak RSS %s MB, exit %d, transform %llu bytes\n",
        wall[wall.size() / 2], wall.size(), last.cpu_ms, mb(last.peak_rss_bytes).c_str(), last.exit_status,
        static_cast<unsigned long long>(ec ? 0 : size));
    fs::remove(out, ec);
}

int usage() {
    std::fprintf(
        stderr,
        "usage: quorlin-bench [--cycles N] [--no-msibuild] [--msi-transform PATH] [--headless PROGRAM] PACKAGE...\n"
        "Build the packages first with bench/make-inputs.sh (it prints their paths).\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int cycles = 3;
    bool with_msibuild = true;
    bool child = false;
    // Beside this program in the build tree, unless given.
    fs::path msi_transform =
        fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "msi-transform" / "msi-transform";
    fs::path headless_program;
    std::vector<fs::path> packages;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--cycles" && i + 1 < argc)
            cycles = std::max(1, std::atoi(argv[++i]));
        else if (a == "--no-msibuild")
            with_msibuild = false;
        else if (a == "--msi-transform" && i + 1 < argc)
            msi_transform = fs::absolute(argv[++i]);
        else if (a == "--measure-package")
            child = true;
        else if (a == "--headless" && i + 1 < argc)
            headless_program = fs::absolute(argv[++i]);
        else if (a == "--help" || a == "-h")
            return usage();
        else
            packages.push_back(fs::absolute(a));
    }
    if (packages.empty()) return usage();
    try {
        if (child) return measure_package(packages.front(), cycles, msi_transform, with_msibuild);
        std::printf(
            "quorlin-bench: %ld cores online; page cache warmed by one full read, dirty pages flushed "
            "(syncfs) before every copy and load\n",
            ::sysconf(_SC_NPROCESSORS_ONLN));
        std::vector<engine_row> engine_rows;
        for (const auto& package : packages) {
            std::vector<std::string> child_args{"/proc/self/exe",       "--measure-package", "--cycles",
                                                std::to_string(cycles), "--msi-transform",   msi_transform.string()};
            if (!with_msibuild) child_args.push_back("--no-msibuild");
            child_args.push_back(package.string());
            const child_result r = run_child(child_args, true);
            if (r.exit_status != 0) {
                std::printf("\n%s: the measurement failed (exit %d)\n", package.filename().c_str(), r.exit_status);
                continue;
            }
            const package_report report = parse_report(r.output);
            msibuild_cost m;
            if (with_msibuild) m = run_msibuild(package, report.statements);
            print_report(package, report, m, r.peak_rss_bytes, cycles);
            if (!headless_program.empty()) print_headless(headless_program, package, cycles);
            engine_rows.push_back(engine_row_of(package, report));
            std::fflush(stdout);
        }
        print_engine_table(engine_rows, cycles);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorlin-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
