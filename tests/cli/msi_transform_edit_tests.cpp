// msi-transform edit judged by msi.dll: the transform it writes, applied by
// the oracle to the untouched package, must give what msibuild gives when it
// edits a copy of the package with the same statements.
#include "support/file_guard.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace test_support;

namespace {

process_result tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{MSI_TRANSFORM, "edit"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_process(argv);
}

void msibuild_queries(const std::filesystem::path& package, const std::vector<std::string>& queries) {
    for (const auto& q : queries) {
        auto r = run_process({"msibuild", package.string(), "-q", q});
        ASSERT_EQ(r.exit_code, 0) << q << ": " << r.err;
    }
}

}  // namespace

TEST(MsiTransformEdit, TransformEqualsMsibuildsEditOfTheSamePackage) {
    temp_dir dir;
    const auto package = dir / "product.msi";
    build_msi_with_shortcuts(package);
    file_unchanged_guard untouched(package);
    write_file(dir / "edits.sql",
               "DELETE FROM `Shortcut` WHERE `Shortcut` = 'DesktopReadme'\n"
               "\n"
               "CREATE TABLE `Settings` (`Name` CHAR(72) NOT NULL, `Value` LONGCHAR PRIMARY KEY `Name`)\n"
               "INSERT INTO `Settings` (`Name`, `Value`) VALUES ('Server', 'https://example.com')\n");
    auto r = tool({package.string(), (dir / "edit.mst").string(), "-f", (dir / "edits.sql").string(), "--property",
                   "REBOOT=ReallySuppress", "--property", "DT_SHORTCUT=0", "--validation", "0x1"});
    ASSERT_EQ(r.exit_code, 0) << r.err;

    const auto expected = dir / "msibuild.msi";
    std::filesystem::copy_file(package, expected);
    msibuild_queries(expected,
                     {"DELETE FROM `Shortcut` WHERE `Shortcut` = 'DesktopReadme'",
                      "CREATE TABLE `Settings` (`Name` CHAR(72) NOT NULL, `Value` LONGCHAR PRIMARY KEY `Name`)",
                      "INSERT INTO `Settings` (`Name`, `Value`) VALUES ('Server', 'https://example.com')",
                      "INSERT INTO `Property` (`Property`, `Value`) VALUES ('REBOOT', 'ReallySuppress')",
                      "UPDATE `Property` SET `Value` = '0' WHERE `Property` = 'DT_SHORTCUT'"});
    const auto applied = oracle_dump(package, {}, dir / "edit.mst");
    EXPECT_EQ(applied, oracle_dump(expected));
    EXPECT_NE(applied.find("Property\tREBOOT\tReallySuppress\n"), std::string::npos) << applied;
    EXPECT_EQ(applied.find("DesktopReadme"), std::string::npos) << applied;
    EXPECT_NE(oracle_transform_summary(package, dir / "edit.mst").find("MSTSUMMARY\t16\t65536\n"), std::string::npos);
}

TEST(MsiTransformEdit, NothingChangedOrAFailureWritesNothing) {
    temp_dir dir;
    const auto package = dir / "product.msi";
    build_msi_with_shortcuts(package);
    file_unchanged_guard untouched(package);
    const auto out = (dir / "out.mst").string();

    // The value it already has, and an update that matches nothing.
    auto same = tool({package.string(), out, "--property", "DT_SHORTCUT=1",
                      "UPDATE `Shortcut` SET `Name` = 'X' WHERE `Shortcut` = 'Nothing'"});
    EXPECT_EQ(same.exit_code, 1) << same.err;
    EXPECT_FALSE(std::filesystem::exists(out));

    for (const auto& args : std::vector<std::vector<std::string>>{
             {package.string(), out, "DELETE FROM `NoSuchTable`"},
             {package.string(), out, "UPDATE `Property` SET `Property` = 'X' WHERE `Property` = 'DT_SHORTCUT'"},
             {package.string(), package.string(), "--property", "A=1"},
             {package.string(), out, "--property", "=1"},
             {package.string(), out, "--property", "REBOOT="},
             {package.string(), out, "-f", (dir / "missing.sql").string()},
             {package.string(), out}}) {
        auto r = tool(args);
        EXPECT_EQ(r.exit_code, 2) << args.back();
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << args.back();
    }
}
