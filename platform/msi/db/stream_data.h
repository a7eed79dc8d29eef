#pragma once
// The bytes of a stream field (a binary cell, a row of `_Streams`, a record
// field): held in memory, or read from a database's stream the first time
// they are asked for, so that selecting the row of a cabinet costs nothing
// until its data is read.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace msi {

class package_database;

class stream_data {
public:
    explicit stream_data(std::vector<std::uint8_t> bytes);
    // The stream stored as `stored_name` in `owner`'s file, `size` bytes;
    // the database stays alive as long as this does.
    stream_data(std::shared_ptr<const package_database> owner, std::u16string stored_name, std::uint64_t size);

    std::uint64_t size() const { return size_; }
    // Raises automation_error when a stored stream can no longer be read
    // (removed or damaged since it was selected).
    const std::vector<std::uint8_t>& bytes() const;

private:
    std::shared_ptr<const package_database> owner_;
    std::u16string stored_name_;
    std::uint64_t size_ = 0;
    mutable std::once_flag read_;
    mutable std::vector<std::uint8_t> bytes_;
};

}  // namespace msi
