// A transform generated from two packages and applied to the first must give
// the second, read back by msitools (no Wine): the shapes of change whose
// records are easy to get wrong, in one pair of packages.
#include "transform_fixtures.h"

#include "msi/automation.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace transform_test;

namespace {

// A table of a key and 15 string columns, the most an update record's mask
// can name.
std::string sixteen_columns(const std::vector<std::string>& rows) {
    std::string names = "Key", types = "s16";
    for (int c = 1; c <= 15; ++c) names += "\tC" + std::to_string(c), types += "\tS16";
    std::string text = names + "\n" + types + "\nSixteen\tKey\n";
    for (const std::string& row : rows) text += row + "\n";
    return text;
}

std::string sixteen_row(const std::string& key, const std::string& changed_from) {
    std::string row = key;
    for (int c = 1; c <= 15; ++c) row += "\t" + key + "c" + std::to_string(c) + changed_from;
    return row;
}

// msitools' export of a table, its rows sorted.
std::string exported(const std::filesystem::path& package, const std::string& table) {
    auto r = test_support::run_process({"msiinfo", "export", package.string(), table});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::istringstream in(r.out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin() + std::min<std::ptrdiff_t>(3, static_cast<std::ptrdiff_t>(lines.size())), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

}  // namespace

TEST(TransformRoundTrip, GeneratedRecordsRebuildTheChangedPackage) {
    test_support::temp_dir dir;
    package_text before = base_package();
    // Loses rows only, the last in key order among them.
    before.tables["Lost"] = "Name\tText\ns32\tS64\nLost\tName\na\tone\nb\ttwo\nc\tthree\nd\tfour\n";
    // A key of two columns: removals name both.
    before.tables["Pairs"] =
        "Grp\tItem\tText\ns32\ti2\tS64\nPairs\tGrp\tItem\n"
        "g1\t1\tfirst\ng1\t2\tsecond\ng2\t1\tthird\ng2\t2\tfourth\n";
    before.tables["Sixteen"] = sixteen_columns({sixteen_row("r1", ""), sixteen_row("r2", ""), sixteen_row("r3", "")});
    package_text after = before;
    set_row(after, "Lost", "b", "");
    set_row(after, "Lost", "d", "");
    after.tables["Pairs"] =
        "Grp\tItem\tText\ns32\ti2\tS64\nPairs\tGrp\tItem\n"
        "g1\t1\tfirst\ng2\t2\tfourth, changed\n";
    std::string r1 = sixteen_row("r1", ""), r2 = sixteen_row("r2", "");
    r1.replace(r1.rfind("r1c15"), 5, "last");                                     // the last column alone
    r2.replace(r2.find("r2c2"), 4, "two").replace(r2.rfind("r2c15"), 5, "last");  // with another one
    after.tables["Sixteen"] = sixteen_columns({r1, r2, sixteen_row("r3", "")});
    // A binary cell of the same size: only its bytes tell the change.
    std::string& logo = after.files["Binary/logo.bin"];
    logo[0] = 'l';

    const auto reference = dir / "before.msi", target = dir / "after.msi", applied = dir / "applied.msi";
    const auto mst = dir / "change.mst";
    build(reference, before);
    build(target, after);
    ASSERT_TRUE(generate(target, reference, mst));
    std::filesystem::copy_file(reference, applied);
    {
        auto db = open_database(applied, msi::msiOpenDatabaseModeTransact);
        db->ApplyTransform(mst, 0);
        db->Commit();
    }
    for (const char* table : {"Lost", "Pairs", "Sixteen", "Property", "Registry", "Numbers"})
        EXPECT_EQ(exported(applied, table), exported(target, table)) << table;
    auto extracted = test_support::run_process({"msiinfo", "extract", applied.string(), "Binary.logo"});
    EXPECT_TRUE(extracted.out == logo);
}
