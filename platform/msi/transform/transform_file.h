#pragma once
// Transform files on disk. Every write goes to a temporary file beside the
// target and replaces the target only when complete, so a failure leaves
// the earlier file exactly as it was and no half-made transform behind.
#include "msi/db/summary_information.h"
#include "msi/transform/streams.h"

#include <filesystem>
#include <functional>

namespace msi {

// Calls `write` with a fresh temporary path in the target's folder, then
// renames that file over `target`. On any failure the temporary file is
// removed and the error passed on; failures of the file system itself raise
// automation_error (ERROR_CREATE_FAILED) naming the file.
void replace_file(const std::filesystem::path& target,
                  const std::function<void(const std::filesystem::path& temporary)>& write);

// Stores the content as a compound file with the transform class id.
void write_transform_file(const transform_content& content, const std::filesystem::path& path);

// Adds (or replaces) the summary information stream of an existing
// transform. Raises automation_error (ERROR_INSTALL_TRANSFORM_FAILURE) for a
// file that is not a transform.
void write_transform_summary(const std::filesystem::path& path, const summary_information& summary);

// Name of the summary information stream, stored as it is.
inline constexpr char16_t summary_stream_name[] = u"\x0005SummaryInformation";

}  // namespace msi
