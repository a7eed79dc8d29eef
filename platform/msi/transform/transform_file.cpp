#include "msi/transform/transform_file.h"

#include "msi/automation_error.h"
#include "msi/cfb/compound_file.h"

#include <random>
#include <system_error>

namespace msi {
namespace {

[[noreturn]] void create_failed(const std::filesystem::path& file, const std::string& why) {
    throw automation_error(hresult_from_win32(ERROR_CREATE_FAILED),
                           "Cannot write the file " + file.string() + ": " + why + ".");
}

std::filesystem::path temporary_beside(const std::filesystem::path& target) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
        auto candidate = folder / ("~" + target.filename().string() + suffix);
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec) && !ec) return candidate;
    }
    create_failed(target, "no free temporary name in its folder");
}

}  // namespace

void replace_file(const std::filesystem::path& target,
                  const std::function<void(const std::filesystem::path& temporary)>& write) {
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) create_failed(target, "a folder has that name");
    const auto folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(folder, ec)) create_failed(target, "its folder does not exist");
    const auto temporary = temporary_beside(target);
    try {
        try {
            write(temporary);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            create_failed(target, e.what());
        }
        std::filesystem::rename(temporary, target, ec);
        if (ec) create_failed(target, ec.message());
    } catch (...) {
        std::filesystem::remove(temporary, ec);
        throw;
    }
}

void write_transform_file(const transform_content& content, const std::filesystem::path& path) {
    auto streams = serialize_transform(content);
    auto file = compound_file::create(transform_class_id);
    for (auto& s : streams) file->write_stream(s.name, std::move(s.data));
    replace_file(path, [&](const std::filesystem::path& temporary) { file->save_as(temporary); });
}

void write_transform_summary(const std::filesystem::path& path, const summary_information& summary) {
    auto file = compound_file::open(path);
    if (file->root_class() != transform_class_id)
        throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE),
                               "The file " + path.string() + " is not a transform.");
    file->write_stream(summary_stream_name, summary.serialize());
    replace_file(path, [&](const std::filesystem::path& temporary) { file->save_as(temporary); });
}

}  // namespace msi
