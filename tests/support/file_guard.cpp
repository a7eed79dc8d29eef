#include "support/file_guard.h"

#include <fstream>
#include <gtest/gtest.h>

namespace test_support {

std::uint64_t file_digest(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return 0;
    std::uint64_t hash = 14695981039346656037ull;
    std::uint64_t size = 0;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 1099511628211ull;
        }
        size += got;
    }
    return hash ^ (size * 0x9E3779B97F4A7C15ull);
}

file_unchanged_guard::file_unchanged_guard(std::filesystem::path file)
    : file_(std::move(file)), size_(std::filesystem::file_size(file_)), digest_(file_digest(file_)) {}

file_unchanged_guard::~file_unchanged_guard() {
    EXPECT_TRUE(std::filesystem::exists(file_)) << file_ << " is gone";
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(file_, ec), size_) << file_ << " changed size";
    EXPECT_EQ(file_digest(file_), digest_) << file_ << " changed";
}

bool file_unchanged_guard::unchanged() const {
    std::error_code ec;
    return std::filesystem::file_size(file_, ec) == size_ && !ec && file_digest(file_) == digest_;
}

}  // namespace test_support
