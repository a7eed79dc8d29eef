// msi-transform rebase judged from outside: a vendor's two releases and an
// administrator's transform, built by msibuild and generate; the oracle must
// make of the new release with the rebased transform exactly the new release
// with the carried changes, itself built by msibuild.
#include "msi_transform_run.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace test_support;

namespace {

enum class release { old_one, administrators, new_one, expected };

// From the old release to the new, the vendor changed Default, removed Gone,
// dropped Legacy, added Settings.Scope (and changed a cell beside it), added
// SHARED, changed the product code, version and platform. The administrator
// changed Default, Gone, a Legacy row, a Settings cell and a binary cell,
// appended Settings.Note, added SHARED, ALLUSERS, a binary row and a table,
// and removed Keep.
msi_source release_package(release r) {
    const bool vendor = r == release::new_one || r == release::expected;
    const bool admin = r == release::administrators || r == release::expected;
    std::vector<std::pair<std::string, std::string>> properties{
        {"ProductCode", vendor ? "{22222222-2222-2222-2222-222222222222}" : "{11111111-1111-1111-1111-111111111111}"},
        {"ProductVersion", vendor ? "2.0.0" : "1.0.0"},
        {"UpgradeCode", "{99999999-9999-9999-9999-999999999999}"},
        {"Default", admin    ? "admin default"
                    : vendor ? "vendor default"
                             : "old default"},
        {"Stay", "s"}};
    if (!vendor) properties.push_back({"Gone", admin ? "admin" : "old"});
    if (!admin) properties.push_back({"Keep", "k"});
    if (vendor || admin) properties.push_back({"SHARED", admin ? "admin" : "vendor"});
    if (admin) properties.push_back({"ALLUSERS", "1"});

    msi_source s;
    s.tables.push_back(property_table(properties));
    const std::string color = admin ? "red" : "blue";
    if (!vendor && !admin)
        s.tables.push_back({"Settings", "Name\tValue\ns32\tS64\nSettings\tName\ncolor\tblue\nsize\t10\n"});
    else if (!vendor)
        s.tables.push_back(
            {"Settings", "Name\tValue\tNote\ns32\tS64\tS32\nSettings\tName\ncolor\tred\tmine\nsize\t10\t\n"});
    else
        s.tables.push_back({"Settings", "Name\tValue\tScope" + std::string(admin ? "\tNote" : "") + "\ns32\tS64\tS16" +
                                            (admin ? "\tS32" : "") + "\nSettings\tName\ncolor\t" + color + "\tuser" +
                                            (admin ? "\tmine" : "") + "\nsize\t12\tmachine" + (admin ? "\t" : "") +
                                            "\n"});
    if (!vendor)
        s.tables.push_back(
            {"Legacy", "Id\tText\ns32\tS64\nLegacy\tId\none\t" + std::string(admin ? "changed" : "first") + "\n"});
    if (admin) s.tables.push_back({"AdminTable", "Id\tOrder\ns32\tI2\nAdminTable\tId\nx\t1\ny\t2\n"});
    s.tables.push_back({"Binary", "Name\tData\ns72\tv0\nBinary\tName\nlogo\tlogo.bin\n" +
                                      std::string(admin ? "extra\textra.bin\n" : "")});
    s.files = {{"Binary/logo.bin", admin ? "admin logo!" : "old logo"}, {"Binary/extra.bin", "extra data"}};
    s.summary.template_text = vendor ? "x64;1033" : "Intel;1033";
    return s;
}

}  // namespace

TEST(MsiTransformRebase, CarriesTheAdministratorsChangesToTheNextRelease) {
    temp_dir dir;
    build_msi(dir / "old.msi", release_package(release::old_one));
    build_msi(dir / "admin.msi", release_package(release::administrators));
    build_msi(dir / "new.msi", release_package(release::new_one));
    build_msi(dir / "expected.msi", release_package(release::expected));
    const auto t = (dir / "t.mst").string(), out = (dir / "out.mst").string();
    ASSERT_EQ(tool({"generate", (dir / "admin.msi").string(), (dir / "old.msi").string(), t, "--error-conditions",
                    "0x3", "--validation", "0x4"})
                  .exit_code,
              0);

    const std::vector<std::string> args{"rebase", (dir / "old.msi").string(), t, (dir / "new.msi").string(), out};
    auto r = tool(args);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(r.out,
              "carried: table AdminTable added (2 rows)\n"
              "carried: cell Binary [\"logo\"] Data: old [binary, 8 bytes], vendor [binary, 8 bytes], administrator "
              "[binary, 11 bytes]\n"
              "carried: row Binary [\"extra\"] added\n"
              "dropped: cell Legacy [\"one\"] Text: old \"first\", administrator \"changed\" (the table is gone from "
              "the new package)\n"
              "carried over a vendor change: cell Property [\"Default\"] Value: old \"old default\", vendor \"vendor "
              "default\", administrator \"admin default\"\n"
              "dropped: cell Property [\"Gone\"] Value: old \"old\", administrator \"admin\" (the row is gone from "
              "the new package)\n"
              "conflicting add: row Property [\"SHARED\"] added; Value: vendor \"vendor\", administrator \"admin\"\n"
              "carried: row Property [\"ALLUSERS\"] added\n"
              "carried: row Property [\"Keep\"] removed\n"
              "carried: column Settings.Note added\n"
              "carried: cell Settings [\"color\"] Value: old \"blue\", vendor \"blue\", administrator \"red\"\n"
              "carried: cell Settings [\"color\"] Note: vendor NULL, administrator \"mine\"\n"
              "8 carried, 4 to review; written to " +
                  out + "\n");
    EXPECT_EQ(oracle_dump(dir / "new.msi", {}, out), oracle_dump(dir / "expected.msi"));
    // Made for the new release: its product, version and platform; the
    // administrator's error conditions and validation flags.
    const auto summary = oracle_transform_summary(dir / "new.msi", out);
    EXPECT_NE(summary.find("MSTSUMMARY\t7\tx64;1033\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("MSTSUMMARY\t9\t{22222222-2222-2222-2222-222222222222}2.0.0;{22222222-2222-2222-2222-"
                           "222222222222}2.0.0;{99999999-9999-9999-9999-999999999999}\n"),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("MSTSUMMARY\t16\t" + std::to_string((4 << 16) | 3) + "\n"), std::string::npos) << summary;

    auto json_args = args;
    json_args.push_back("--json");
    auto j = tool(json_args);
    EXPECT_EQ(j.exit_code, 1);
    const auto report = nlohmann::json::parse(j.out);
    std::vector<std::string> outcomes;
    for (const auto& i : report["items"]) outcomes.push_back(i["outcome"]);
    EXPECT_EQ(outcomes, (std::vector<std::string>{"carried", "carried", "carried", "dropped",
                                                  "carried-over-vendor-change", "dropped", "conflicting-add", "carried",
                                                  "carried", "carried", "carried", "carried"}));
    EXPECT_EQ(report["items"][4]["cells"][0],
              nlohmann::json::parse(R"({"column":"Value","old":"old default","vendor":"vendor default",
                                        "administrator":"admin default"})"));
}

TEST(MsiTransformRebase, CleanOntoItsOwnPackageAndNothingWrittenOnErrors) {
    temp_dir dir;
    build_msi(dir / "old.msi", release_package(release::old_one));
    build_msi(dir / "admin.msi", release_package(release::administrators));
    std::filesystem::copy_file(dir / "old.msi", dir / "same.msi");
    const auto t = (dir / "t.mst").string(), out = (dir / "out.mst").string();
    ASSERT_EQ(tool({"generate", (dir / "admin.msi").string(), (dir / "old.msi").string(), t}).exit_code, 0);

    // Onto the package it was made for, every change is carried cleanly.
    auto r = tool({"rebase", (dir / "old.msi").string(), t, (dir / "same.msi").string(), out});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_EQ(oracle_dump(dir / "old.msi", {}, out), oracle_dump(dir / "admin.msi"));

    // A damaged transform, or one made for another package: one line, status 2, OUT untouched.
    write_file(dir / "damaged.mst", read_file(t).substr(0, 3000));
    write_file(out, "earlier");
    for (const auto& [old_package, transform] :
         {std::pair{dir / "old.msi", dir / "damaged.mst"}, std::pair{dir / "admin.msi", dir / "t.mst"}}) {
        auto bad = tool({"rebase", old_package.string(), transform.string(), (dir / "same.msi").string(), out});
        EXPECT_EQ(bad.exit_code, 2);
        EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
        EXPECT_EQ(read_file(out), "earlier");
    }
}
