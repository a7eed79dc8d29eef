#include "fuzz_entries.h"
#include "package_walk.h"
#include "scratch.h"

#include "msi/automation.h"
#include "msi/cfb/compound_file.h"
#include "msi/db/package_database.h"

namespace fuzz_entry {

void generate_transform(const std::uint8_t* data, std::size_t size) {
    const auto reference_file = write_scratch("reference.msi", data, size);
    const auto target_file = write_scratch("target.msi", data, size);
    const auto transform_file = scratch_dir() / "out.mst";
    std::error_code ec;
    std::filesystem::remove(transform_file, ec);

    msi::Installer installer;
    std::shared_ptr<msi::Database> reference, target;
    try {
        reference = installer.OpenDatabase(reference_file.u16string(), msi::msiOpenDatabaseModeReadOnly);
        target = installer.OpenDatabase(target_file.u16string(), msi::msiOpenDatabaseModeTransact);
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
    if (read_file(reference_file) != std::string(reinterpret_cast<const char*>(data), size))
        finding("generating a transform changed the reference package");
}

}  // namespace fuzz_entry
