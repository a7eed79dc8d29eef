#pragma once
// The engine's own costs on one package, beside msitools: opening it,
// applying the utility's transform, committing one update, and one
// `msi-transform sql` process (open, one UPDATE, commit) against one
// `msibuild -q` process doing the same.
#include "process_meter.h"

#include <filesystem>
#include <string>

namespace bench {

struct engine_costs {
    phase_cost open;              // OpenDatabase, in this process
    phase_cost apply;             // ApplyTransform and Commit, on a fresh copy
    phase_cost update;            // the UPDATE's Execute (loads what it needs)
    phase_cost commit;            // Commit of one changed Property value, in this process
    phase_cost sql_process;       // one msi-transform sql process, start to exit
    phase_cost msibuild_process;  // one msibuild -q process, start to exit
    bool apply_failed = false;
    bool sql_failed = false;
    bool msibuild_failed = false;
};

// The update both tools make in `cycle` (a new value each time, so that
// every commit has something to write).
std::string engine_update_statement(int cycle);

// Measures one cycle on `work`, a copy of the package that may be changed.
// `transform` (none when empty) is applied to a fresh copy of `package`
// made beside it. `msi_transform` is the program to run; msibuild is left
// out when `with_msibuild` is false.
engine_costs run_engine_cycle(const std::filesystem::path& package, const std::filesystem::path& work,
                              const std::filesystem::path& transform, const std::filesystem::path& msi_transform,
                              int cycle, bool with_msibuild);

}  // namespace bench
