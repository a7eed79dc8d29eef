#include "msi/cfb/byte_source.h"

#include "msi/cfb/file_errors.h"
#include "msi/cfb/format.h"

#include <cstring>

namespace msi::cfb {

void raise_file_error(const sys::file_error& e) {
    switch (e.failed()) {
    case sys::file_error::operation::read: fail_open(e.what());
    case sys::file_error::operation::open_for_writing:
        throw automation_error(hresult_from_win32(ERROR_CREATE_FAILED), e.what());
    case sys::file_error::operation::write: fail_write(e.what());
    }
    fail_write(e.what());
}

byte_source byte_source::file(const std::filesystem::path& path) {
    byte_source source;
    source.file_ = file_operation([&] { return sys::file_handle::open_read(path); });
    return source;
}

byte_source byte_source::memory(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    byte_source source;
    source.bytes_ = std::move(bytes);
    return source;
}

std::uint64_t byte_source::size() const {
    if (bytes_) return bytes_->size();
    return file_operation([&] { return file_.size(); });
}

void byte_source::read_exact(std::uint64_t offset, void* buffer, std::size_t size) const {
    if (!bytes_) return file_operation([&] { file_.read_exact(offset, buffer, size); });
    if (offset > bytes_->size() || size > bytes_->size() - offset) fail_open("the file ends early");
    if (size > 0) std::memcpy(buffer, bytes_->data() + offset, size);
}

}  // namespace msi::cfb
