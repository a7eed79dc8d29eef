#pragma once
// Starting again from a transform written earlier: it is checked against the
// package (the checks its summary information asks for, and always the
// product code) and then applied to a database whose changes are not yet
// committed.
#include "msi/automation.h"

#include <filesystem>
#include <string>
#include <vector>

// Why the transform was made for another product or version: one sentence
// per failed check, empty when it fits. Raises msi::automation_error when
// the transform cannot be read.
std::vector<std::string> earlier_transform_misfits(msi::Database& database, const std::filesystem::path& transform);

// Raises std::runtime_error with one line that says why the transform does
// not fit (unless `checked` is false: the administrator chose to load it
// anyway), or msi::automation_error when it cannot be read or applied. The
// database is left as it was in either case.
void apply_earlier_transform(msi::Database& database, const std::filesystem::path& transform, bool checked = true);
