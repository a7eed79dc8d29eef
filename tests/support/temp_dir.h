#pragma once
// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes.
#include <filesystem>
#include <string>

namespace test_support {

class temp_dir {
public:
    explicit temp_dir(const std::string& prefix = "quorlin-test");
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Small file helpers used around fixtures.
void write_file(const std::filesystem::path& file, const std::string& bytes);
std::string read_file(const std::filesystem::path& file);

}  // namespace test_support
