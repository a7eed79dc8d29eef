#include "engine_job.h"

#include "child_process.h"
#include "msi/automation.h"
#include "system/text_conversion.h"

#include <stdexcept>

namespace bench {

namespace {

// A child process's cost as the parent sees it: wall time around the
// spawn and wait, user + system time and peak from wait4.
phase_cost process_cost(const std::vector<std::string>& argv, bool& failed) {
    const double start = now_ms();
    const child_result r = run_child(argv, false);
    phase_cost cost;
    cost.wall_ms = now_ms() - start;
    cost.cpu_ms = r.cpu_ms;
    cost.peak_rss_bytes = r.peak_rss_bytes;
    failed = failed || r.exit_status != 0;
    return cost;
}

}  // namespace

std::string engine_update_statement(int cycle) {
    return "UPDATE Property SET Value = 'bench " + std::to_string(cycle) + "' WHERE Property = 'DT_SHORTCUT'";
}

// Applies the transform to a fresh copy of the package and commits it.
phase_cost apply_cost(const std::filesystem::path& package, const std::filesystem::path& transform, bool& failed) {
    const std::filesystem::path copy = package.parent_path() / (package.stem().string() + "_apply.msi");
    std::filesystem::copy_file(package, copy, std::filesystem::copy_options::overwrite_existing);
    phase_cost cost;
    try {
        auto db = msi::Installer().OpenDatabase(copy, msi::msiOpenDatabaseModeTransact);
        phase_meter apply;
        db->ApplyTransform(transform, 0);
        db->Commit();
        cost = apply.stop();
    } catch (const std::exception&) {
        failed = true;
    }
    std::error_code ec;
    std::filesystem::remove(copy, ec);
    return cost;
}

engine_costs run_engine_cycle(const std::filesystem::path& package, const std::filesystem::path& work,
                              const std::filesystem::path& transform, const std::filesystem::path& msi_transform,
                              int cycle, bool with_msibuild) {
    engine_costs costs;
    if (!transform.empty()) costs.apply = apply_cost(package, transform, costs.apply_failed);
    const std::u16string path = sys::utf8_to_utf16(work.string());
    {
        phase_meter open;
        auto db = msi::Installer().OpenDatabase(path, msi::msiOpenDatabaseModeTransact);
        costs.open = open.stop();
        phase_meter update;
        db->OpenView(sys::utf8_to_utf16(engine_update_statement(3 * cycle)))->Execute(nullptr);
        costs.update = update.stop();
        phase_meter commit;
        db->Commit();
        costs.commit = commit.stop();
    }
    costs.sql_process = process_cost(
        {msi_transform.string(), "sql", work.string(), engine_update_statement(3 * cycle + 1)}, costs.sql_failed);
    if (with_msibuild)
        costs.msibuild_process = process_cost({"msibuild", work.string(), "-q", engine_update_statement(3 * cycle + 2)},
                                              costs.msibuild_failed);
    return costs;
}

}  // namespace bench
