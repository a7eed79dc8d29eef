#include "msi/transform/transform_file.h"

#include "msi/automation_error.h"
#include "msi/cfb/compound_file.h"

namespace msi {

void write_transform_file(const transform_content& content, const summary_information* summary,
                          const std::filesystem::path& path) {
    auto streams = serialize_transform(content);
    auto file = compound_file::create(transform_class_id);
    for (auto& s : streams) file->write_stream(s.name, std::move(s.data));
    if (summary) file->write_stream(summary_stream_name, summary->serialize());
    file->save_as(path);
}

void write_transform_summary(const std::filesystem::path& path, const summary_information& summary) {
    auto file = compound_file::open(path);
    if (file->root_class() != transform_class_id)
        throw automation_error(hresult_from_win32(ERROR_INSTALL_TRANSFORM_FAILURE),
                               "The file " + path.string() + " is not a transform.");
    file->write_stream(summary_stream_name, summary.serialize());
    file->save_as(path);
}

}  // namespace msi
