#pragma once
// Transform files on disk. A transform is built whole in memory, with its
// summary information, and replaces the target file in one step, so a failure
// leaves the earlier file exactly as it was and no half-made transform behind.
#include "msi/db/summary_information.h"
#include "msi/transform/streams.h"

#include <filesystem>

namespace msi {

// Stores the content, and the summary information when there is one, as a
// compound file with the transform class id. Failures of the file system
// raise automation_error (ERROR_CREATE_FAILED) with the system's reason.
void write_transform_file(const transform_content& content, const summary_information* summary,
                          const std::filesystem::path& path);

// Adds (or replaces) the summary information stream of an existing
// transform. Raises automation_error (ERROR_INSTALL_TRANSFORM_FAILURE) for a
// file that is not a transform.
void write_transform_summary(const std::filesystem::path& path, const summary_information& summary);

// Name of the summary information stream, stored as it is.
inline constexpr char16_t summary_stream_name[] = u"\x0005SummaryInformation";

}  // namespace msi
