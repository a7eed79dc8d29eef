#pragma once
// The difference between two databases as transform content: every table
// compared by primary key, rows added, removed and changed, tables added
// and dropped, columns appended.
#include "msi/transform/streams.h"

#include <optional>

namespace msi {

class package_database;

// What turns `reference` into `target`; nothing when the two hold the same
// tables, rows and code page. The transform's strings are in the reference's
// code page, or in the target's when the two differ (which carries the change
// of code page). Raises automation_error (ERROR_INSTALL_TRANSFORM_FAILURE)
// for a difference a transform cannot express: a column whose type, key
// flag or name changed, a column removed, a table without primary key that
// changed, two rows with the same key.
std::optional<transform_content> compare_databases(package_database& target, package_database& reference);

}  // namespace msi
