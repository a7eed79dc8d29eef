#pragma once
// Packages for the installer_package tests, built by msibuild in a temporary
// folder, and the message-box recorder installed for each test: the package
// shows nothing itself, the window's messages for its outcomes are checked here.
#include "dialog/recording_ui_services.h"
#include "installer/installer_package.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"
#include "window/package_messages.h"

#include <filesystem>
#include <string>

namespace installer_tests {

// Property (ProductName, ProductCode, ProductVersion, UpgradeCode,
// IMANAGEINSTALLPATH, DROPBOXDISABLED), Registry (network_disk_enabled twice
// under different keys, PrintBandSize, PrintBandCountForIgnore) and Control
// (TermsAndConditionsAgreement, PrivacyPolicyAgreement).
void build_full_package(const std::filesystem::path& out);
// Only a Property table: no Registry, no Control.
void build_property_only_package(const std::filesystem::path& out);

std::string dump_table(const std::filesystem::path& package, const std::string& table);

struct recorded_messages {
    recording_ui_services recorder;
    scoped_ui_services installed{recorder};
};

// Generates the transform and shows the outcome as the window does.
inline installer_package::transform_outcome generate_and_report(installer_package& p) {
    const auto outcome = p.generate_transform();
    show_transform_outcome(outcome, p.transform_path(), p.failure_text());
    return outcome;
}

}  // namespace installer_tests
