// msi-transform's review of a transform: the class of each change (show, and
// check --deny), the deployment recipe, and transforms that are the same
// bytes from run to run. Packages are built by msibuild, transforms by
// msi-transform generate.
#include "msi_transform_run.h"
#include "support/fixture_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <map>

using namespace test_support;

namespace {

// A package with one table of each class; `extra` lines are appended to the
// named tables' rows and `properties` replace or add Property rows.
void build_package(const std::filesystem::path& out, const std::map<std::string, std::string>& extra = {},
                   const std::map<std::string, std::string>& properties = {}) {
    std::map<std::string, std::string> values{{"ProductCode", "{1C2D3E4F-5A6B-4C7D-8E9F-0A1B2C3D4E5F}"},
                                              {"UpgradeCode", "{2D3E4F5A-6B7C-4D8E-9FA0-B1C2D3E4F5A6}"},
                                              {"ProductVersion", "26.4.4.1"},
                                              {"ProductName", "Quorlin PDF Pro"},
                                              {"ProductLanguage", "1033"},
                                              {"TOS_URL", "https://example.com/tos"}};
    for (const auto& [name, value] : properties) values[name] = value;
    msi_source s;
    s.tables = {
        property_table({values.begin(), values.end()}),
        {"CustomAction",
         "Action\tType\tSource\tTarget\ns72\ti2\tS72\tS255\nCustomAction\tAction\n"
         "SetDir\t51\tINSTALLDIR\t[ProgramFilesFolder]\n"},
        {"InstallExecuteSequence",
         "Action\tCondition\tSequence\ns72\tS255\tI2\nInstallExecuteSequence\tAction\nInstallFinalize\t\t6600\n"},
        registry_table({{"PrintBandSize", "#8388608"}}),
        {"UIText", "Key\tText\ns72\tL255\nUIText\tKey\nbytes\tbytes\n"},
        {"Notes", "Name\tNote\ns72\tS255\nNotes\tName\na\tfirst\n"},
    };
    for (auto& table : s.tables)
        if (auto more = extra.find(table.name); more != extra.end()) table.text += more->second;
    build_msi(out, s);
}

void generate(const std::filesystem::path& changed, const std::filesystem::path& base, const std::filesystem::path& mst,
              const std::vector<std::string>& options = {}) {
    std::vector<std::string> args{"generate", changed.string(), base.string(), mst.string()};
    args.insert(args.end(), options.begin(), options.end());
    const auto r = tool(args);
    ASSERT_EQ(r.exit_code, 0) << r.err;
}

nlohmann::json show_json(const std::vector<std::string>& args) {
    std::vector<std::string> all{"show"};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back("--json");
    const auto r = tool(all);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return nlohmann::json::parse(r.out);  // throws on invalid JSON or UTF-8
}

// The base package and a transform that adds a custom action run at install.
struct custom_action_transform {
    temp_dir dir;
    std::filesystem::path base = dir / "base.msi", changed = dir / "changed.msi", mst = dir / "launch.mst";
    custom_action_transform(const std::vector<std::string>& options = {}) {
        build_package(base);
        build_package(changed, {{"CustomAction", "Launch\t34\tINSTALLDIR\tcalc.exe\n"},
                                {"InstallExecuteSequence", "Launch\t\t6500\n"}});
        generate(changed, base, mst, options);
    }
};

}  // namespace

TEST(MsiTransformAudit, EachChangeInItsClass) {
    temp_dir dir;
    const auto base = dir / "base.msi";
    build_package(base);
    struct fixture {
        std::string expected;
        std::map<std::string, std::string> extra, properties;
        std::size_t changes;
    };
    const std::vector<fixture> fixtures{
        {"runs-code", {{"CustomAction", "Launch\t34\tINSTALLDIR\tcalc.exe\n"}}, {}, 1},
        // The Property row and the summary's version.
        {"identity", {}, {{"ProductVersion", "26.5.0.0"}}, 2},
        {"system", {{"Registry", "reg9\t2\tSoftware\\Quorlin\tEvil\t1\tMainComponent\n"}}, {}, 1},
        {"properties", {}, {{"TOS_URL", "https://example.com/changed"}, {"Secret", "1"}}, 2},
        {"interface", {{"UIText", "kb\tKB\n"}}, {}, 1},
        {"other", {{"Notes", "b\tsecond\n"}}, {}, 1},
    };
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.expected);
        const auto changed = dir / (f.expected + ".msi"), mst = dir / (f.expected + ".mst");
        build_package(changed, f.extra, f.properties);
        generate(changed, base, mst);
        const auto audit = show_json({mst.string(), base.string()})["audit"];
        ASSERT_EQ(audit.size(), 6u) << audit;
        for (const auto& [name, changes] : audit.items())
            EXPECT_EQ(changes.size(), name == f.expected ? f.changes : 0u) << name << ": " << changes;
    }
}

TEST(MsiTransformAudit, ShowListsAndCheckDeniesTheChangesThatRunCode) {
    // UPDATEVERSION: the transform is also for 26.4.x packages only.
    custom_action_transform f({"--validation", "0x20"});
    const auto shown = tool({"show", f.mst.string(), f.base.string()});
    ASSERT_EQ(shown.exit_code, 0) << shown.err;
    EXPECT_NE(shown.out.find("\nAudit\n  runs-code: 2\n    CustomAction added [\"Launch\"]\n"
                             "    InstallExecuteSequence added [\"Launch\"]\n  identity: none\n"),
              std::string::npos)
        << shown.out;

    const auto denied = tool({"check", f.base.string(), f.mst.string(), "--deny", "runs-code,identity"});
    EXPECT_EQ(denied.exit_code, 1);
    EXPECT_EQ(denied.out,
              "denied runs-code: CustomAction added [\"Launch\"]\n"
              "denied runs-code: InstallExecuteSequence added [\"Launch\"]\n");
    const auto allowed = tool({"check", f.base.string(), f.mst.string(), "--deny", "identity,system"});
    EXPECT_EQ(allowed.exit_code, 0) << allowed.out;

    // The validation's reason stays beside the denied changes.
    const auto newer = f.dir / "newer.msi";
    build_package(newer, {}, {{"ProductVersion", "26.5.0.0"}});
    const auto both = tool({"check", newer.string(), f.mst.string(), "--deny", "runs-code"});
    EXPECT_EQ(both.exit_code, 1);
    EXPECT_NE(both.out.find("26.5.0.0"), std::string::npos) << both.out;
    EXPECT_NE(both.out.find("denied runs-code: CustomAction added [\"Launch\"]\n"), std::string::npos) << both.out;

    const auto unknown = tool({"check", f.base.string(), f.mst.string(), "--deny", "runs-code,everything"});
    EXPECT_EQ(unknown.exit_code, 2);
    EXPECT_NE(unknown.err.find("'everything'"), std::string::npos) << unknown.err;
}

TEST(MsiTransformRecipe, ValuesAfterTheTransformAsTheOracleReadsThem) {
    temp_dir dir;
    const auto base = dir / "base.msi", changed = dir / "changed.msi";
    build_package(base);
    build_package(changed, {},
                  {{"ProductVersion", "26.5.0.0"},
                   {"TOS_URL", "https://example.com/changed"},
                   {"NEW_PROP", "on"},
                   {"Private", "x"}});
    // A name with a quote and bytes that are not UTF-8, as an administrator
    // may give it.
    const auto mst = dir / "we\"ird\xE9.mst";
    generate(changed, base, mst);

    const auto text = tool({"show", mst.string(), base.string(), "--recipe"});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(text.out,
              "Deployment recipe\n"
              "  Command line:    msiexec /i \"" +
                  base.string() + "\" TRANSFORMS=\"" + (dir / "we\"\"ird\xE9.mst").string() +
                  "\" /qn\n"
                  "  Product code:    {1C2D3E4F-5A6B-4C7D-8E9F-0A1B2C3D4E5F}\n"
                  "  Upgrade code:    {2D3E4F5A-6B7C-4D8E-9FA0-B1C2D3E4F5A6}\n"
                  "  Product version: 26.5.0.0\n"
                  "  Product name:    Quorlin PDF Pro\n"
                  "  Public properties the transform sets:\n"
                  "    NEW_PROP = on\n"
                  "    TOS_URL = https://example.com/changed\n");
    // Wine reads the transform under a plain name.
    std::filesystem::copy_file(mst, dir / "plain.mst");
    const auto after = oracle_dump(base, {"Property"}, dir / "plain.mst");
    EXPECT_NE(after.find("Property\tProductVersion\t26.5.0.0\n"), std::string::npos) << after;

    // JSON stays valid UTF-8: the name's stray byte becomes U+FFFD.
    const auto json = show_json({mst.string(), base.string(), "--recipe"});
    const auto recipe = json["recipe"];
    EXPECT_EQ(recipe["product_version"], "26.5.0.0");
    EXPECT_EQ(recipe["public_properties"],
              (nlohmann::json{{"NEW_PROP", "on"}, {"TOS_URL", "https://example.com/changed"}}));
    EXPECT_NE(recipe["command_line"].get<std::string>().find("we\"\"ird\xEF\xBF\xBD.mst"), std::string::npos)
        << recipe["command_line"];
    EXPECT_NE(json["transform"].get<std::string>().find("we\"ird\xEF\xBF\xBD.mst"), std::string::npos);
}

// faketime preloads its library ahead of the sanitizer's runtime; the
// sanitizer build accepts that order instead of refusing to start.
std::string asan_beside_faketime() {
    const char* options = std::getenv("ASAN_OPTIONS");
    return std::string("ASAN_OPTIONS=") + (options ? std::string(options) + ":" : "") + "verify_asan_link_order=0";
}

TEST(MsiTransformGenerate, SameBytesUnderAnyClockZoneLocaleAndFolder) {
    custom_action_transform f;
    std::filesystem::create_directory(f.dir / "tmp-a");
    std::filesystem::create_directory(f.dir / "tmp-b");
    // Each run under its own environment and faked clock (frozen there).
    const auto run = [&](const std::string& out, std::vector<std::string> environment, const std::string& clock) {
        std::vector<std::string> argv{"env"};
        argv.insert(argv.end(), environment.begin(), environment.end());
        argv.push_back(asan_beside_faketime());  // after env's own options such as -u
        for (const auto& a : {std::string("faketime"), std::string("-f"), clock, std::string(MSI_TRANSFORM),
                              std::string("generate"), f.changed.string(), f.base.string(), (f.dir / out).string()})
            argv.push_back(a);
        const auto r = run_process(argv);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return run_process({"sha256sum", "-b", (f.dir / out).string()}).out.substr(0, 64);
    };
    const auto a =
        run("a.mst", {"SOURCE_DATE_EPOCH=1700000000", "TZ=UTC", "LANG=C", "TMPDIR=" + (f.dir / "tmp-a").string()},
            "2001-02-03 04:05:06");
    const auto b = run("b.mst",
                       {"SOURCE_DATE_EPOCH=1700000000", "TZ=Pacific/Kiritimati", "LANG=de_DE.UTF-8",
                        "LC_ALL=de_DE.UTF-8", "TMPDIR=" + (f.dir / "tmp-b").string()},
                       "2031-06-15 12:00:00");
    EXPECT_EQ(a, b);
    // Without SOURCE_DATE_EPOCH the clock's time is written, and nothing else
    // differs: the clock at the epoch's second gives the same bytes.
    const auto c = run("c.mst", {"-u", "SOURCE_DATE_EPOCH", "TZ=UTC"}, "2023-11-14 22:13:20");
    EXPECT_EQ(c, a);
    const auto d = run("d.mst", {"-u", "SOURCE_DATE_EPOCH", "TZ=UTC"}, "2023-11-14 22:13:21");
    EXPECT_NE(d, a);
    const auto summary = oracle_transform_summary(f.base, f.dir / "a.mst");
    EXPECT_NE(summary.find("MSTSUMMARY\t12\t133444736000000000 (2023-11-14 22:13:20 UTC)"), std::string::npos)
        << summary;

    const auto bad = run_process({"env", "SOURCE_DATE_EPOCH=yesterday", MSI_TRANSFORM, "generate", f.changed.string(),
                                  f.base.string(), (f.dir / "e.mst").string()});
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("SOURCE_DATE_EPOCH"), std::string::npos) << bad.err;
    EXPECT_FALSE(std::filesystem::exists(f.dir / "e.mst"));
}
