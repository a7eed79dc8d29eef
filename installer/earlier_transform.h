#pragma once
// Starting again from a transform written earlier: it is checked against the
// package (the checks its summary information asks for) and then applied to
// a database whose changes are not yet committed.
#include "msi/automation.h"

#include <filesystem>

// Raises std::runtime_error with one line that says why the transform does
// not fit, or msi::automation_error when it cannot be read or applied. The
// database is left as it was in either case.
void apply_earlier_transform(msi::Database& database, const std::filesystem::path& transform);
