#pragma once
// Guards a file that must come out of a test exactly as it went in (the
// package an administrator chose is never written): remembers its bytes'
// digest at construction and checks them again at destruction.
#include <cstdint>
#include <filesystem>
#include <string>

namespace test_support {

// FNV-1a over the file's bytes, with the size mixed in; 0 when unreadable.
std::uint64_t file_digest(const std::filesystem::path& file);

class file_unchanged_guard {
public:
    explicit file_unchanged_guard(std::filesystem::path file);
    ~file_unchanged_guard();  // EXPECT: same size, same digest, still present
    file_unchanged_guard(const file_unchanged_guard&) = delete;
    file_unchanged_guard& operator=(const file_unchanged_guard&) = delete;

    bool unchanged() const;

private:
    std::filesystem::path file_;
    std::uintmax_t size_;
    std::uint64_t digest_;
};

}  // namespace test_support
