#include "support/msi_oracle.h"

#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace test_support {

namespace {

// The same prefix the oracle script chooses.
std::filesystem::path wine_prefix() {
    if (const char* p = std::getenv("MSI_ORACLE_PREFIX"); p && *p) return p;
    if (const char* p = std::getenv("XDG_CACHE_HOME"); p && *p) return std::filesystem::path(p) / "msi-oracle-wine";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/tmp") / ".cache" / "msi-oracle-wine";
}

void prepare_prefix() {
    const auto prefix = wine_prefix();
    std::filesystem::create_directories(prefix.parent_path());
    const auto marker = prefix / ".prefix-complete";
    if (!std::filesystem::exists(marker)) {
        // Serialise the first run: the script creates the prefix when it is
        // missing, and a second process must not use it half-made.
        const auto lock_path = prefix.string() + ".lock";
        int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) throw std::runtime_error("cannot open " + lock_path);
        ::flock(fd, LOCK_EX);
        if (!std::filesystem::exists(marker)) {
            // Without arguments the oracle creates the prefix and prints its usage.
            // Its usage text means Wine ran a program in the new prefix; the
            // registry files appear later, when the wine server saves them.
            auto r = run_process({msi_oracle_path().string()});
            if (std::filesystem::is_directory(prefix) && (r.out + r.err).find("usage:") != std::string::npos) {
                int m = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (m >= 0) ::close(m);
            } else {
                ::close(fd);
                throw std::runtime_error("the oracle could not create its Wine prefix: " + r.err);
            }
        }
        ::close(fd);
    }
    // A persistent wineserver saves seconds per call; it leaves by itself
    // two minutes after its last client.
    run_process(
        {"sh", "-c", "WINEPREFIX=\"$1\" exec wineserver -p 120 </dev/null >/dev/null 2>&1", "sh", prefix.string()});
}

void ensure_prefix() {
    static std::once_flag once;
    std::call_once(once, prepare_prefix);
}

std::string checked(const process_result& r, const std::string& what) {
    if (r.exit_code != 0)
        throw std::runtime_error("msi-oracle " + what + " failed (exit " + std::to_string(r.exit_code) + "): " + r.err);
    return r.out;
}

}  // namespace

std::filesystem::path msi_oracle_path() { return QUORLIN_MSI_ORACLE; }

process_result run_msi_oracle(const std::vector<std::string>& args) {
    ensure_prefix();
    std::vector<std::string> argv{msi_oracle_path().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    process_result r = run_process(argv);
    // The dump says why whenever Windows Installer's calls fail; a silent
    // failure is Wine's own start-up (a client meeting a wine server on its
    // way out, say): one more try.
    if (r.exit_code != 0 && r.err.empty() && r.out.empty()) r = run_process(argv);
    return r;
}

std::string oracle_dump(const std::filesystem::path& package, const std::vector<std::string>& tables,
                        const std::filesystem::path& transform) {
    std::vector<std::string> args;
    for (const auto& t : tables) {
        args.push_back("-t");
        args.push_back(t);
    }
    args.push_back(std::filesystem::absolute(package).string());
    if (!transform.empty()) args.push_back(std::filesystem::absolute(transform).string());
    return checked(run_msi_oracle(args), "dump of " + package.string());
}

std::string oracle_transform_summary(const std::filesystem::path& package, const std::filesystem::path& transform) {
    return checked(run_msi_oracle({"-S", std::filesystem::absolute(package).string(),
                                   std::filesystem::absolute(transform).string()}),
                   "-S of " + transform.string());
}

std::string oracle_package_summary(const std::filesystem::path& package) {
    // -s prints the summary before the tables; keep only its lines.
    std::string all =
        checked(run_msi_oracle({"-s", "-q", std::filesystem::absolute(package).string()}), "-s of " + package.string());
    std::istringstream in(all);
    std::string line, result;
    while (std::getline(in, line))
        if (line.rfind("SUMMARY\t", 0) == 0) result += line + "\n";
    return result;
}

}  // namespace test_support
