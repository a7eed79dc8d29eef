#include "scratch.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fuzz_entry {

namespace {

struct scratch_folder {
    std::filesystem::path path;
    scratch_folder() {
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
        path = base / ("quorlin-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~scratch_folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

std::filesystem::path scratch_dir() {
    static scratch_folder folder;
    return folder.path;
}

std::filesystem::path write_scratch(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const auto file = scratch_dir() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) finding("cannot write the scratch file " + file.string());
    return file;
}

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {
finding_handler current_handler = nullptr;
}

void set_finding_handler(finding_handler handler) { current_handler = handler; }

void finding(const std::string& what) {
    if (current_handler) current_handler(what);
    std::fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzz_entry
