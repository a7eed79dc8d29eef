#include "msi/db/stream_data.h"

#include "msi/db/package_database.h"

namespace msi {

stream_data::stream_data(std::vector<std::uint8_t> bytes) : size_(bytes.size()), bytes_(std::move(bytes)) {
    std::call_once(read_, [] {});
}

stream_data::stream_data(std::shared_ptr<const package_database> owner, std::u16string stored_name, std::uint64_t size)
    : owner_(std::move(owner)), stored_name_(std::move(stored_name)), size_(size) {}

const std::vector<std::uint8_t>& stream_data::bytes() const {
    std::call_once(read_, [this] { bytes_ = owner_->storage().read_stream(stored_name_); });
    return bytes_;
}

}  // namespace msi
