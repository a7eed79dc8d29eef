// msi-transform judged from outside: its dump against the oracle's on
// packages built by msibuild and wixl, its sql and generate commands by what
// the oracle then reads.
#include "msi_transform_run.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace test_support;

namespace {

std::string dump(const std::filesystem::path& package, const std::vector<std::string>& tables = {}) {
    std::vector<std::string> args{"dump", package.string()};
    args.insert(args.end(), tables.begin(), tables.end());
    auto r = tool(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
}

// A package with the kinds of cell the dump must render: nullable and
// localizable strings, 2- and 4-byte integers with NULLs and negatives,
// binary cells, non-ASCII text in code page 1252 and control characters.
void build_mixed_package(const std::filesystem::path& out) {
    msi_source s;
    s.tables = {
        {"_ForceCodepage", "\n\n1252\t_ForceCodepage\n"},
        property_table({{"ProductName", "Quorlin PDF Pro"},
                        {"Greeting",
                         "Gr\xC3\xBC\xC3\x9F"
                         "e \xE2\x82\xAC 5"},
                        {"Backslash", "C:\\Program Files\\Q"}}),
        {"Numbers",
         "Key\tShort\tLong\tNote\n"
         "s32\tI2\tI4\tS0\n"
         "Numbers\tKey\n"
         "a\t-32767\t-2147483647\t\n"
         "b\t\t2147483647\tnote\n"
         "c\t7\t\t\n"},
        {"Binary", "Name\tData\ns72\tv0\nBinary\tName\nlogo\tlogo.bin\nempty\tempty.bin\n"},
    };
    s.files = {{"Binary/logo.bin", std::string("\x89PNG\r\n\x1A\n\0\0binary", 16)}, {"Binary/empty.bin", ""}};
    s.queries = {"UPDATE `Numbers` SET `Note` = 'tab\there\nline\rcr\x01' WHERE `Key` = 'c'"};
    build_msi(out, s);
}

const char* const wixl_package = R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{1C2D3E4F-5A6B-4C7D-8E9F-0A1B2C3D4E5F}" Name="Quorlin PDF Pro" Language="1033" Version="26.4.4.1"
           Manufacturer="Quorlin" UpgradeCode="{2D3E4F5A-6B7C-4D8E-9FA0-B1C2D3E4F5A6}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Property Id="TOS_URL" Value="https://example.com/tos"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="INSTALLDIR" Name="Quorlin">
          <Component Id="Main" Guid="{3E4F5A6B-7C8D-4E9F-A0B1-C2D3E4F5A6B7}">
            <RegistryValue Root="HKLM" Key="Software\Quorlin" Name="network_disk_enabled" Type="string" Value="/b 1" KeyPath="yes"/>
            <RegistryValue Root="HKLM" Key="Software\Quorlin\Print" Name="PrintBandSize" Type="integer" Value="8388608"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Level="1"><ComponentRef Id="Main"/></Feature>
  </Product>
</Wix>)";

}  // namespace

TEST(MsiTransformDump, EqualsTheOracleForEveryTable) {
    temp_dir dir;
    build_mixed_package(dir / "mixed.msi");
    build_msi_from_wxs(dir / "wixl.msi", wixl_package);
    ASSERT_EQ(run_process({QUORLIN_SAMPLE_SCRIPT, (dir / "sample.msi").string()}).exit_code, 0);
    for (const char* name : {"mixed.msi", "wixl.msi", "sample.msi"}) {
        SCOPED_TRACE(name);
        const auto ours = dump(dir / name);
        EXPECT_EQ(ours, oracle_dump(dir / name));
        EXPECT_NE(ours.find("Property\tProductName\tQuorlin PDF Pro\n"), std::string::npos);
    }
    const auto mixed = dump(dir / "mixed.msi", {"Numbers", "Binary"});
    EXPECT_EQ(mixed, oracle_dump(dir / "mixed.msi", {"Numbers", "Binary"}));
    EXPECT_NE(mixed.find("tab\\there\\nline\\rcr\\x01"), std::string::npos) << mixed;
    EXPECT_NE(mixed.find("[stream size=16 crc32="), std::string::npos) << mixed;
}

TEST(MsiTransformDump, CatalogTablesAsTheOracleShowsThem) {
    temp_dir dir;
    build_msi_from_wxs(dir / "wixl.msi", wixl_package);
    EXPECT_EQ(dump(dir / "wixl.msi", {"_Tables", "_Columns"}), oracle_dump(dir / "wixl.msi", {"_Tables", "_Columns"}));
}

TEST(MsiTransformDump, FailuresAreOneLineWithStatusTwo) {
    temp_dir dir;
    write_file(dir / "junk.msi", std::string(3000, 'x'));
    msi_source small;
    small.tables = {property_table({{"A", "1"}})};
    build_msi(dir / "p.msi", small);
    for (auto args : std::vector<std::vector<std::string>>{{"dump", (dir / "junk.msi").string()},
                                                           {"dump", (dir / "missing.msi").string()},
                                                           {"dump", (dir / "p.msi").string(), "NoSuchTable"},
                                                           {"frobnicate"},
                                                           {"sql", (dir / "p.msi").string(), "DELETE FROM Nowhere"},
                                                           {"generate", "a.msi"}}) {
        auto r = tool(args);
        EXPECT_EQ(r.exit_code, 2) << args[0];
        EXPECT_TRUE(r.out.empty());
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    auto help = tool({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("generate NEW.msi REFERENCE.msi OUT.mst"), std::string::npos);
    // Output that cannot be written is a failure, not a success.
    auto full =
        run_process({"sh", "-c", std::string(MSI_TRANSFORM) + " dump \"$0\" > /dev/full", (dir / "p.msi").string()});
    EXPECT_EQ(full.exit_code, 2);
    EXPECT_EQ(full.err, "msi-transform: cannot write to standard output: No space left on device\n");
}

TEST(MsiTransformSql, UpdatesAreCommittedAndSelectsPrinted) {
    temp_dir dir;
    build_msi_from_wxs(dir / "p.msi", wixl_package);
    auto r = tool({"sql", (dir / "p.msi").string(),
                   "UPDATE Property SET Value = 'https://example.com/new' WHERE Property = 'TOS_URL'",
                   "UPDATE Registry SET Value = '#65535' WHERE Name = 'PrintBandSize'",
                   "SELECT Property, Value FROM Property WHERE Property = 'TOS_URL' OR Property = 'ProductName'"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("TOS_URL\thttps://example.com/new\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ProductName\tQuorlin PDF Pro\n"), std::string::npos) << r.out;
    const auto after = oracle_dump(dir / "p.msi", {"Property", "Registry"});
    EXPECT_NE(after.find("Property\tTOS_URL\thttps://example.com/new\n"), std::string::npos);
    EXPECT_NE(after.find("\tPrintBandSize\t#65535\t"), std::string::npos) << after;
}

TEST(MsiTransformSql, StatementsFromFilesCommitAllOrNone) {
    temp_dir dir;
    msi_source small;
    small.tables = {property_table({{"A", "1"}, {"B", "2"}, {"C", "3"}})};
    build_msi(dir / "p.msi", small);
    const std::string original = read_file(dir / "p.msi");
    const std::string edits =
        "INSERT INTO Property (Property, Value) VALUES ('REBOOT', 'ReallySuppress')\n"
        "\n"
        "DELETE FROM Property WHERE Value > '1' AND Value < '9'\r\n";
    write_file(dir / "bad.sql", edits + "INSERT INTO Property (Property, Value) VALUES ('A', 'again')\n");
    auto r = tool({"sql", (dir / "p.msi").string(), "-f", (dir / "bad.sql").string()});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("statement 3"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(dir / "p.msi"), original) << "a failed run wrote some of its statements";

    write_file(dir / "good.sql", edits);
    r = run_process({"sh", "-c",
                     std::string(MSI_TRANSFORM) + " sql \"$0\" -f - \"SELECT Property FROM Property\" < \"$1\"",
                     (dir / "p.msi").string(), (dir / "good.sql").string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "A\nREBOOT\n");
    EXPECT_EQ(oracle_dump(dir / "p.msi", {"Property"}).find("Property\tB"), std::string::npos);
    EXPECT_NE(oracle_dump(dir / "p.msi", {"Property"}).find("Property\tREBOOT\tReallySuppress"), std::string::npos);
}

TEST(MsiTransformGenerate, WritesATransformTheOracleApplies) {
    temp_dir dir;
    build_msi_from_wxs(dir / "ref.msi", wixl_package);
    std::filesystem::copy_file(dir / "ref.msi", dir / "new.msi");
    const auto out = (dir / "out.mst").string();

    auto same = tool({"generate", (dir / "new.msi").string(), (dir / "ref.msi").string(), out});
    EXPECT_EQ(same.exit_code, 1);
    EXPECT_EQ(same.err, "msi-transform: no differences\n");
    EXPECT_FALSE(std::filesystem::exists(out));

    ASSERT_EQ(tool({"sql", (dir / "new.msi").string(),
                    "UPDATE Property SET Value = 'https://example.com/changed' WHERE Property = 'TOS_URL'"})
                  .exit_code,
              0);
    auto r = tool({"generate", (dir / "new.msi").string(), (dir / "ref.msi").string(), out, "--error-conditions",
                   "0x3F", "--validation", "4"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(oracle_dump(dir / "ref.msi", {}, out), oracle_dump(dir / "new.msi"));
    const auto summary = oracle_transform_summary(dir / "ref.msi", out);
    EXPECT_NE(summary.find("MSTSUMMARY\t16\t" + std::to_string((4 << 16) | 0x3F) + "\n"), std::string::npos) << summary;

    auto bad = tool({"generate", (dir / "new.msi").string(), (dir / "ref.msi").string(), out, "--validation", "x"});
    EXPECT_EQ(bad.exit_code, 2);
    // Nothing but the three files (no partial transform left behind).
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 3);
}

TEST(MsiTransformGenerate, FileSystemFailuresGiveTheirReasonAndKeepTheEarlierFile) {
    temp_dir dir;
    // A name that is not UTF-8 is used as the bytes it is.
    const auto ref = dir /
                     "r\xE9"
                     "f.msi";
    build_msi_from_wxs(dir / "ref.msi", wixl_package);
    std::filesystem::rename(dir / "ref.msi", ref);
    std::filesystem::copy_file(ref, dir / "new.msi");
    ASSERT_EQ(tool({"sql", (dir / "new.msi").string(),
                    "UPDATE Property SET Value = 'https://example.com/changed' WHERE Property = 'TOS_URL'"})
                  .exit_code,
              0);
    const auto generate = [&](const std::filesystem::path& out, std::vector<std::string> prefix = {}) {
        std::vector<std::string> argv = std::move(prefix);
        for (const auto& a : {std::string(MSI_TRANSFORM), std::string("generate"), (dir / "new.msi").string(),
                              ref.string(), out.string()})
            argv.push_back(a);
        return run_process(argv);
    };
    const auto out = dir / "out.mst";
    ASSERT_EQ(generate(out).exit_code, 0);
    const std::string earlier = read_file(out);
    // The transform may carry a password: its owner keeps it private.
    std::filesystem::permissions(out, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    struct failure {
        std::filesystem::path out;
        std::vector<std::string> prefix;
        std::string reason;
    };
    write_file(dir / "plain-file", "");
    // Writes past 1 KiB fail as on a full disk (the tool inherits SIGXFSZ ignored).
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    for (const failure& f : {failure{dir / "no-such-folder" / "out.mst", {}, "No such file or directory"},
                             failure{dir / "plain-file" / "out.mst", {}, "Not a directory"},
                             failure{out, {"prlimit", "--fsize=1024", "--"}, "File too large"}}) {
        SCOPED_TRACE(f.reason);
        const auto r = generate(f.out, f.prefix);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.err.find(f.reason + "; " + f.out.string() + " was left as it was\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("--help"), std::string::npos) << r.err;
    }
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(read_file(out), earlier);
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 4);  // new, ref, out and the plain file: nothing half-written
    ASSERT_EQ(generate(out).exit_code, 0);
    EXPECT_EQ(std::filesystem::status(out).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

namespace {

// The wixl package, a copy with TOS_URL changed and a property added, and
// the transform between them (validation: product code and equal update
// version; no condition suppressed).
struct transform_files {
    temp_dir dir;
    std::filesystem::path base = dir / "base.msi", edited = dir / "edited.msi", mst = dir / "edit.mst";
    transform_files() {
        build_msi_from_wxs(base, wixl_package);
        std::filesystem::copy_file(base, edited);
        EXPECT_EQ(tool({"sql", edited.string(),
                        "UPDATE Property SET Value = 'https://example.com/changed' WHERE Property = 'TOS_URL'"})
                      .exit_code,
                  0);
        EXPECT_EQ(tool({"generate", edited.string(), base.string(), mst.string(), "--validation", "0x0122"}).exit_code,
                  0);
    }
    // Another product at another version, lacking the changed property.
    std::filesystem::path other_package() {
        std::string other = wixl_package;
        other.replace(other.find("1C2D3E4F-5A6B-4C7D-8E9F-0A1B2C3D4E5F"), 36, "99999999-5A6B-4C7D-8E9F-0A1B2C3D4E5F");
        other.replace(other.find("Version=\"26.4.4.1\""), 18, "Version=\"27.0.0.1\"");
        other.replace(other.find("<Property Id=\"TOS_URL\" Value=\"https://example.com/tos\"/>"), 55, "");
        const auto package = dir / "other.msi";
        build_msi_from_wxs(package, other);
        return package;
    }
    int file_count() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++n;
        return n;
    }
};

}  // namespace

TEST(MsiTransformApply, WritesANewPackageAsTheOracleAppliesAndTouchesNoInput) {
    transform_files f;
    const auto base_bytes = read_file(f.base), mst_bytes = read_file(f.mst);
    const auto out = f.dir / "out.msi";
    auto r = tool({"apply", f.base.string(), f.mst.string(), out.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(oracle_dump(out), oracle_dump(f.edited));
    EXPECT_EQ(oracle_dump(out), oracle_dump(f.base, {}, f.mst));
    EXPECT_EQ(read_file(f.base), base_bytes);
    EXPECT_EQ(read_file(f.mst), mst_bytes);

    // Never into an input, also through another name for it.
    std::filesystem::create_hard_link(f.base, f.dir / "alias.msi");
    for (const auto& target : {f.base, f.mst, f.dir / "alias.msi"}) {
        auto refused = tool({"apply", f.base.string(), f.mst.string(), target.string()});
        EXPECT_EQ(refused.exit_code, 2) << target;
    }
    EXPECT_EQ(read_file(f.base), base_bytes);

    // A condition the transform does not suppress: status 2 naming it, no
    // OUT, no temporary file left; suppressed by the option, it applies.
    const auto other = f.other_package();
    const auto again = f.dir / "again.msi";
    const int before = f.file_count();
    auto tripped = tool({"apply", other.string(), f.mst.string(), again.string()});
    EXPECT_EQ(tripped.exit_code, 2);
    EXPECT_NE(tripped.err.find("MSITRANSFORM_ERROR_UPDATEMISSINGROW"), std::string::npos) << tripped.err;
    EXPECT_FALSE(std::filesystem::exists(again));
    EXPECT_EQ(f.file_count(), before);
    auto suppressed = tool({"apply", other.string(), f.mst.string(), again.string(), "--error-conditions", "0x10"});
    EXPECT_EQ(suppressed.exit_code, 0) << suppressed.err;
    EXPECT_EQ(oracle_dump(again), oracle_dump(other));
}

TEST(MsiTransformApply, OutIsWholeOrAsItWasAndNoMoreOpenThanThePackage) {
    transform_files f;
    namespace fs = std::filesystem;
    const auto out = f.dir / "out.msi";
    // A package only its owner may read gives such a package.
    fs::permissions(f.base, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(tool({"apply", f.base.string(), f.mst.string(), out.string()}).exit_code, 0);
    EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // Writes past 4 KiB fail as on a full disk: OUT stays as it was.
    write_file(out, "an earlier package");
    const int before = f.file_count();
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    const auto r = run_process(
        {"prlimit", "--fsize=4096", "--", MSI_TRANSFORM, "apply", f.base.string(), f.mst.string(), out.string()});
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("; " + out.string() + " was left as it was\n"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(out), "an earlier package");
    EXPECT_EQ(f.file_count(), before);
}

TEST(MsiTransformCheck, FitsOrGivesOneLinePerReason) {
    transform_files f;
    auto fits = tool({"check", f.base.string(), f.mst.string()});
    EXPECT_EQ(fits.exit_code, 0) << fits.out << fits.err;

    const auto package = f.other_package();
    auto r = tool({"check", package.string(), f.mst.string()});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(r.out.substr(at, end - at));
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_NE(lines[0].find("{99999999-5A6B-4C7D-8E9F-0A1B2C3D4E5F}"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("27.0.0.1"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("MSITRANSFORM_ERROR_UPDATEMISSINGROW"), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("'TOS_URL'"), std::string::npos) << lines[2];

    auto broken = tool({"check", f.base.string(), f.base.string()});
    EXPECT_EQ(broken.exit_code, 2);
}

TEST(MsiTransformShow, SummaryInWordsAndChangesWithOldValues) {
    transform_files f;
    auto plain = tool({"show", f.mst.string(), f.base.string()});
    ASSERT_EQ(plain.exit_code, 0) << plain.err;
    for (const char* line : {"  Base package:     product {1C2D3E4F-5A6B-4C7D-8E9F-0A1B2C3D4E5F}, version 26.4.4.1",
                             "MSITRANSFORM_VALIDATE_PRODUCT, MSITRANSFORM_VALIDATE_UPDATEVERSION, "
                             "MSITRANSFORM_VALIDATE_NEWEQUALBASEVERSION",
                             "Table Property: 0 added, 0 removed, 1 changed\n  changed [\"TOS_URL\"]\n"
                             "      Value: \"https://example.com/tos\" -> \"https://example.com/changed\"\n"})
        EXPECT_NE(plain.out.find(line), std::string::npos) << line << "\n" << plain.out;

    const auto json_file = f.dir / "show.json";
    auto json = tool({"show", f.mst.string(), f.base.string(), "--json"});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    write_file(json_file, json.out);
    auto parsed = run_process({"python3", "-c",
                               "import json,sys; d=json.load(open(sys.argv[1])); r=d['tables'][0]['rows'][0]; "
                               "print(d['summary']['validation']['value'], r['operation'], r['key'][0], "
                               "r['cells'][0]['old'], r['cells'][0]['new'])",
                               json_file.string()});
    EXPECT_EQ(parsed.out, "290 update TOS_URL https://example.com/tos https://example.com/changed\n") << parsed.err;
}
