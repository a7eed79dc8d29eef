#include "fuzz_entries.h"
#include "package_walk.h"
#include "scratch.h"

#include <algorithm>

#include "msi/automation.h"
#include "msi/cfb/compound_file.h"
#include "msi/db/package_database.h"

namespace fuzz_entry {

void generate_transform(const std::uint8_t* data, std::size_t size) {
    // Both read from memory: the target's changes are generated, never committed.
    const auto bytes = std::make_shared<const std::vector<std::uint8_t>>(data, data + size);
    const auto transform_file = scratch_dir() / "out.mst";
    std::error_code ec;
    std::filesystem::remove(transform_file, ec);

    msi::Installer installer;
    std::shared_ptr<msi::Database> reference, target;
    try {
        reference = installer.OpenDatabase(bytes, msi::msiOpenDatabaseModeReadOnly);
        target = installer.OpenDatabase(bytes, msi::msiOpenDatabaseModeTransact);
    } catch (const msi::automation_error&) {
        return;
    }
    change_every_table(target->engine());

    bool written = false;
    try {
        written = target->GenerateTransform(reference, transform_file.u16string());
    } catch (const msi::automation_error&) {
        if (std::filesystem::exists(transform_file)) finding("a refused transform left a file behind");
        return;
    }
    if (written != std::filesystem::exists(transform_file))
        finding(written ? "GenerateTransform reported a file it did not write"
                        : "GenerateTransform found no differences but wrote a file");
    if (!written) return;
    try {
        target->CreateTransformSummaryInfo(reference, transform_file.u16string(), 0x3F, 0x0922);
    } catch (const msi::automation_error&) {
        // packages without ProductCode or ProductVersion: the transform stays as it was
    }
    try {
        auto mst = msi::compound_file::open(transform_file);
        if (mst->root_class() != msi::transform_class_id) finding("the transform lacks the transform class id");
        for (const auto& name : mst->stream_names()) (void)mst->read_stream(name);
    } catch (const msi::automation_error& e) {
        finding(std::string("a generated transform does not open again: ") + e.what());
    }
    if (!std::equal(bytes->begin(), bytes->end(), data)) finding("generating a transform changed the package");
}

}  // namespace fuzz_entry
