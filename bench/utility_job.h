#pragma once
// The utility's own job on one package, without windows: the load command
// (working copy, both databases opened, the values it reads) and the
// generate command (twenty committed writes, then the transform with its
// summary information), through installer_package as the program does it.
#include "process_meter.h"

#include "installer/deployment_settings.h"

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

using setting_write = deployment::value_write;

struct utility_costs {
    phase_cost load;
    phase_cost writes;
    phase_cost transform;
    std::vector<setting_write> written;  // the twenty writes, in order
    std::string outcome;                 // what the transform step reported
    std::uint64_t transform_size = 0;
};

// Runs the job once; the working copy is removed again, and the transform
// too unless `keep_transform_as` names where to keep it.
utility_costs run_utility_job(const std::filesystem::path& package,
                              const std::filesystem::path& keep_transform_as = {});

// The SQL statement msitools would be given for the same write.
std::string msibuild_statement(const setting_write& write);

}  // namespace bench
