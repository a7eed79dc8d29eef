#include "process_meter.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

namespace bench {

namespace {

std::uint64_t field(const std::string& file, const std::string& name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, name.size(), name) == 0) {
            std::istringstream rest(line.substr(name.size()));
            std::uint64_t value = 0;
            rest >> value;
            return value;
        }
    return 0;
}

}  // namespace

io_counters read_io_counters() {
    return {field("/proc/self/io", "rchar:"), field("/proc/self/io", "wchar:"), field("/proc/self/io", "write_bytes:")};
}

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double cpu_ms() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::uint64_t peak_rss_bytes() { return field("/proc/self/status", "VmHWM:") * 1024; }

phase_meter::phase_meter() {
    std::ofstream("/proc/self/clear_refs") << "5";
    start_io_ = read_io_counters();
    start_cpu_ms_ = cpu_ms();
    start_ms_ = now_ms();
}

phase_cost phase_meter::stop() const {
    phase_cost cost;
    cost.wall_ms = now_ms() - start_ms_;
    cost.cpu_ms = cpu_ms() - start_cpu_ms_;
    const io_counters end = read_io_counters();
    cost.peak_rss_bytes = peak_rss_bytes();
    cost.read_chars = end.read_chars - start_io_.read_chars;
    cost.write_bytes = end.write_bytes - start_io_.write_bytes;
    return cost;
}

}  // namespace bench
