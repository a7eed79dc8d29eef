// The helpers every other test relies on, checked against each other: a
// package built by msibuild and one built by wixl read back by the oracle.
#include "support/file_guard.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace test_support;

TEST(TestSupport, MsibuildPackageReadsBackThroughTheOracle) {
    temp_dir dir;
    msi_source source;
    source.tables = {property_table({{"ProductName", "Quorlin PDF Pro"}, {"Path", "C:\\a\tb"}}),
                     registry_table({{"network_disk_enabled", "/b 1"}})};
    build_msi(dir / "p.msi", source);
    file_unchanged_guard guard(dir / "p.msi");
    EXPECT_EQ(oracle_dump(dir / "p.msi", {"Property", "Registry"}),
              "#Property\tProperty:s72\tValue:l0\n"
              "Property\tPath\tC:\\\\a\n"  // .idt text ends a field at a tab
              "Property\tProductName\tQuorlin PDF Pro\n"
              "#Registry\tRegistry:s72\tRoot:i2\tKey:l255\tName:L255\tValue:L0\tComponent_:s72\n"
              "Registry\treg1\t2\tSoftware\\\\Quorlin\tnetwork_disk_enabled\t/b 1\tMainComponent\n");
    EXPECT_NE(oracle_package_summary(dir / "p.msi").find("SUMMARY\t3\tQuorlin test package"), std::string::npos);
}

TEST(TestSupport, WixlPackageAndFailingToolsReport) {
    temp_dir dir;
    build_msi_from_wxs(dir / "w.msi", R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Wixl Fixture" Language="1033" Version="1.2.3" Manufacturer="Tests"
           UpgradeCode="{0F6A1D2E-3B4C-4D5E-8F90-A1B2C3D4E5F6}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Property Id="TOS_URL" Value="https://example.com/tos"/>
    <Directory Id="TARGETDIR" Name="SourceDir"/>
  </Product>
</Wix>)");
    EXPECT_NE(oracle_dump(dir / "w.msi", {"Property"}).find("Property\tTOS_URL\thttps://example.com/tos\n"),
              std::string::npos);
    EXPECT_THROW(build_msi_from_wxs(dir / "bad.msi", "<Wix>"), std::runtime_error);
    EXPECT_THROW(oracle_dump(dir / "missing.msi"), std::runtime_error);
}

TEST(TestSupport, GuardNoticesAChangedFile) {
    temp_dir dir;
    write_file(dir / "f", "abc");
    file_unchanged_guard guard(dir / "f");
    EXPECT_TRUE(guard.unchanged());
    write_file(dir / "f", "abd");
    EXPECT_FALSE(guard.unchanged());
    write_file(dir / "f", "abc");  // restored, so the destructor's check passes
}

TEST(TestSupport, ARunEndsWithItsProgramNotWithWhatTheProgramLeftBehind) {
    // Wine leaves servers behind that inherit the output pipes; waiting for
    // them to close the pipes once hung a whole test run.
    const auto r =
        test_support::run_process({"sh", "-c", "(sleep 2; echo late) & echo early; echo warning >&2; exit 3"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.out, "early\n");
    EXPECT_EQ(r.err, "warning\n");
}
