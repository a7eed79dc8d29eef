#pragma once
// A package opened read-only twice: once as the reference, once to receive
// changes that stay in memory. The transform is the difference between the
// two. Nothing is written beside the package but the transform itself, so
// this serves where no working copy is wanted (the command-line job).
#include "installer/database_values.h"
#include "msi/automation.h"

#include <filesystem>
#include <memory>

class in_memory_package {
public:
    // Raises msi::automation_error (with the engine's message) when the
    // package cannot be opened.
    explicit in_memory_package(const std::filesystem::path& package);

    // The changed database's values; updates are never committed.
    database_values& values() { return values_; }

    // Applies a transform written earlier to the changed database (see
    // apply_earlier_transform); on failure the database is as it was.
    void apply_transform(const std::filesystem::path& transform);

    enum class transform_result { written, no_differences };
    // Writes the transform (with its summary information) to a file of its
    // own beside `target` and moves it over `target` once complete, so a
    // failure leaves any earlier file as it was. No differences: nothing is
    // written and `target` is untouched. Raises std::runtime_error or
    // msi::automation_error on failure, and refuses a target that is the
    // package itself.
    transform_result write_transform(const std::filesystem::path& target);

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::shared_ptr<msi::Installer> installer_;
    std::shared_ptr<msi::Database> reference_;
    std::shared_ptr<msi::Database> changed_;
    database_values values_;
};
