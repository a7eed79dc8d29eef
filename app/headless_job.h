#pragma once
// The load and generate commands from a shell, without a window and without
// the GUI toolkit: the package is opened read-only, its changes are held in
// memory, and the transform is generated from the two.
#include "app/command_line.h"

#include <iosfwd>

// Exit status of the job.
enum headless_status { headless_written = 0, headless_no_differences = 1, headless_error = 2 };

// Runs --show or --generate. Results go to `out`, messages (one line each)
// to `err`.
int run_headless_job(const command_line& request, std::ostream& out, std::ostream& err);

// <package base name>.mst beside the package, by the same rule as the window.
std::filesystem::path default_transform_path(const std::filesystem::path& package);
