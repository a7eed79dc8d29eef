#pragma once
// Packages for the installer_package tests, built by msibuild in a temporary
// folder, and the message-box recorder installed for each test.
#include "dialog/recording_ui_services.h"
#include "support/temp_dir.h"

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

std::u16string u16(const std::filesystem::path& p);
std::string dump_table(const std::filesystem::path& package, const std::string& table);

struct recorded_messages {
    recording_ui_services recorder;
    scoped_ui_services installed{recorder};
};

}  // namespace installer_tests
