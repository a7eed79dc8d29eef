// The helpers every other test relies on, checked against each other: a
// package built by msibuild, one built by wixl and one made in memory read
// back by the oracle.
#include "support/engine_fixtures.h"
#include "support/file_guard.h"
#include "support/fixture_package.h"
#include "support/memory_package.h"
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

// The in-memory builder stands in for msibuild in many tests: Windows
// Installer must read what it makes as it reads msibuild's package from the
// same description (column types, NULLs, binary cells, loose streams, a
// code page), or those tests would check the engine against a wrong package.
TEST(TestSupport, MemoryPackageReadsInTheOracleAsMsibuildsDoes) {
    temp_dir dir;
    msi_source source = engine_test::standard_source();
    source.tables.push_back({"_ForceCodepage", "\n\n1251\t_ForceCodepage\n"});
    source.tables.push_back({"Pairs",
                             "Grp\tItem\tText\tData\ns32\ti2\tS64\tV0\nPairs\tGrp\tItem\n"
                             "g1\t-1\t\xD0\x96\xD0\xB8\tp.bin\ng1\t2\t\t\n"});
    source.files.emplace_back("Pairs/p.bin", std::string(5000, 'p'));
    source.streams.emplace_back("loose", "a stream of its own");
    build_msi(dir / "theirs.msi", source);
    write_msi(dir / "ours.msi", source);
    EXPECT_EQ(oracle_dump(dir / "ours.msi"), oracle_dump(dir / "theirs.msi"));
    // The summary differs in the program named as its maker only.
    auto without_line = [](std::string text, const std::string& start) {
        const auto at = text.find("\n" + start);
        return at == std::string::npos ? text : text.erase(at + 1, text.find('\n', at + 1) - at);
    };
    EXPECT_EQ(without_line(oracle_dump(dir / "ours.msi", {"_Streams"}), "_Streams\t\\x05"),
              without_line(oracle_dump(dir / "theirs.msi", {"_Streams"}), "_Streams\t\\x05"));
    EXPECT_EQ(oracle_package_summary(dir / "ours.msi"),
              without_line(oracle_package_summary(dir / "theirs.msi"), "SUMMARY\t18\t"));
}
