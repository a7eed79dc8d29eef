// Prints what opening a large package and committing small changes to it
// cost: time, bytes handed to write(), and growth of the file. The package
// (a cabinet-sized stream of N MiB, default 1024, plus a Property table) is
// built by msibuild in a temporary folder and removed afterwards.
//
//   compound_file_bench [MiB]
#include "support/cfb_fixtures.h"

#include "msi/cfb/compound_file.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

using namespace cfb_test;

namespace {

std::uint64_t bytes_written_by_process() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "wchar:") return value;
    return 0;
}

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
    test_support::temp_dir dir("quorlin-cfb-bench");
    auto payload = dir / "cabinet.bin";
    {
        std::ofstream out(payload, std::ios::binary);
        const std::string chunk = pseudo_random(1 << 20, 9);
        for (std::uint64_t i = 0; i < mib; ++i) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    auto package = build_package(dir.path(), {.long_value = true});
    auto start = std::chrono::steady_clock::now();
    auto r = test_support::run_process({"msibuild", package.string(), "-a", "cabinet.cab", payload.string()});
    if (r.exit_code != 0) {
        std::fprintf(stderr, "msibuild failed: %s\n", r.err.c_str());
        return 1;
    }
    std::printf("package: %.1f MiB (msibuild -a took %.0f ms)\n", std::filesystem::file_size(package) / 1048576.0,
                since(start));
    std::filesystem::remove(payload);

    // The first open meets a cold cache for the tables; the second shows the parsing cost.
    for (int i = 0; i < 2; ++i) {
        start = std::chrono::steady_clock::now();
        msi::compound_file::open(package);
        std::printf("open %d: %.2f ms\n", i + 1, since(start));
    }
    auto cf = msi::compound_file::open(package);

    const std::u16string table = table_stream("_StringData");
    std::string data = to_string(cf->read_stream(table));
    data.resize(10 * 1024, 'q');  // a 10 KiB table
    const auto size_before = std::filesystem::file_size(package);
    double first = 0, total = 0, worst = 0;
    std::uint64_t written = 0;
    const int commits = 20;
    for (int i = 0; i < commits; ++i) {
        data[i] = static_cast<char>('a' + i);
        cf->write_stream(table, to_bytes(data));
        std::uint64_t w = bytes_written_by_process();
        start = std::chrono::steady_clock::now();
        cf->commit();
        double ms = since(start);
        written += bytes_written_by_process() - w;
        if (i == 0) {
            first = ms;
            continue;
        }
        total += ms;
        worst = std::max(worst, ms);
    }
    // The first commit also checks once that no chains share sectors.
    std::printf("first commit of a 10 KiB stream: %.3f ms\n", first);
    std::printf("later commits: mean %.3f ms, worst %.3f ms\n", total / (commits - 1), worst);
    std::printf("bytes written per commit: %.0f\n", double(written) / commits);
    std::printf("file growth over %d commits: %lld bytes\n", commits,
                static_cast<long long>(std::filesystem::file_size(package)) - static_cast<long long>(size_before));
    return 0;
}
