#include "transform_fixtures.h"

#include "msi/db/code_page.h"
#include "support/memory_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace transform_test {

package_text base_package() {
    package_text p;
    p.tables["_ForceCodepage"] = "\n\n1252\t_ForceCodepage\n";
    p.tables["Property"] =
        "Property\tValue\ns72\tl0\nProperty\tProperty\n"
        "ProductCode\t{8F3A1C22-5B6D-4E7F-9A01-23456789ABCD}\n"
        "ProductVersion\t26.4.4\n"
        "UpgradeCode\t{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}\n"
        "ProductName\tQuorlin PDF Pro\n"
        "Manufacturer\tQuorlin\n"
        "INSTALLLEVEL\t100\n"
        "DROPBOXDISABLED\t#0\n"
        "GREETING\tcaf\xC3\xA9 cr\xC3\xA8me\n"
        "EULAURL\thttps://example.invalid/eula\n";
    p.tables["Registry"] =
        "Registry\tRoot\tKey\tName\tValue\tComponent_\ns72\ti2\tl255\tL255\tL0\ts72\nRegistry\tRegistry\n"
        "reg1\t2\tSoftware\\Quorlin\tPrintProfile\t#1\tMainComponent\n"
        "reg2\t2\tSoftware\\Quorlin\tTheme\tdark\tMainComponent\n"
        "reg3\t1\tSoftware\\Quorlin\tUser\t\tMainComponent\n";
    p.tables["Binary"] = "Name\tData\ns72\tv0\nBinary\tName\nlogo\tlogo.bin\nbanner\tbanner.bin\n";
    p.files["Binary/logo.bin"] = std::string("LOGO\0\x01\x02", 7) + std::string(300, 'L');
    p.files["Binary/banner.bin"] = std::string(5000, 'B');
    p.tables["Numbers"] =
        "Id\tSmall\tLarge\tNote\ni2\tI2\tI4\tS64\nNumbers\tId\n"
        "1\t10\t100000\tone\n2\t-20\t-200000\ttwo\n3\t\t\t\n";
    p.tables["Obsolete"] = "Name\tText\ns32\tS64\nObsolete\tName\nold1\tgone\nold2\talso gone\n";
    return p;
}

void set_row(package_text& p, const std::string& table, const std::string& key, const std::string& row) {
    std::istringstream in(p.tables.at(table));
    std::string line, out;
    bool replaced = false;
    for (int n = 0; std::getline(in, line); ++n) {
        if (n >= 3 && line.substr(0, line.find('\t')) == key) {
            if (!row.empty()) out += row + "\n";
            replaced = true;
            continue;
        }
        out += line + "\n";
    }
    if (!replaced && !row.empty()) out += row + "\n";
    p.tables[table] = out;
}

// All tables go to msibuild in one call: a code page imported in a call of
// its own does not survive the next import.
void build(const std::filesystem::path& out, const package_text& p) {
    test_support::temp_dir work("quorlin-mst-idt");
    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    const auto target = std::filesystem::absolute(out).string();
    for (const auto& [file, bytes] : p.files) {
        std::filesystem::create_directories((work / file).parent_path());
        test_support::write_file(work / file, bytes);
    }
    std::vector<std::string> import{"msibuild", target, "-i"};
    // The code page first, so that the text tables are stored in it.
    if (p.tables.count("_ForceCodepage")) import.push_back("_ForceCodepage.idt");
    for (const auto& [name, text] : p.tables) {
        test_support::write_file(work / (name + ".idt"), text);
        if (name != "_ForceCodepage") import.push_back(name + ".idt");
    }
    test_support::msi_source defaults;
    const auto& s = defaults.summary;
    for (const auto& argv :
         {std::vector<std::string>{"msibuild", target, "-s", s.title, s.author, p.template_text, s.package_code},
          import}) {
        auto r = test_support::run_process(argv, work.path());
        if (r.exit_code != 0 || !r.err.empty()) throw std::runtime_error("msibuild failed: " + r.err + r.out);
    }
}

test_support::msi_source source_of(const package_text& p) {
    test_support::msi_source source;
    for (const auto& [name, text] : p.tables) source.tables.push_back({name, text});
    source.files.assign(p.files.begin(), p.files.end());
    source.summary.template_text = p.template_text;
    return source;
}

void write(const std::filesystem::path& out, const package_text& p) { test_support::write_msi(out, source_of(p)); }

std::shared_ptr<msi::Database> open_database(const std::filesystem::path& path, int mode) {
    return msi::Installer().OpenDatabase(sys::utf8_to_utf16(path.string()), mode);
}

bool generate(const std::filesystem::path& changed, const std::filesystem::path& reference,
              const std::filesystem::path& transform) {
    auto now = open_database(changed);
    auto before = open_database(reference);
    return now->GenerateTransform(before, sys::utf8_to_utf16(transform.string()));
}

void expect_transform_gives(const std::filesystem::path& base, const std::filesystem::path& transform,
                            const std::filesystem::path& expected) {
    const std::string want = test_support::oracle_dump(expected);
    const std::string got = test_support::oracle_dump(base, {}, transform);
    EXPECT_EQ(got, want);
    EXPECT_EQ(test_support::oracle_dump(base, {"_Tables"}, transform),
              test_support::oracle_dump(expected, {"_Tables"}));
    EXPECT_NE(test_support::oracle_dump(base), want) << "the fixture's edit changed nothing";
}

package_text rows_changed_across_tables() {
    package_text p = base_package();
    set_row(p, "Property", "INSTALLLEVEL", "INSTALLLEVEL\t200");
    set_row(p, "Property", "GREETING",
            "GREETING\tna\xC3\xAFve \xC3\xBC"
            "ber");
    set_row(p, "Property", "NEWPROP", "NEWPROP\t\xC3\x80 la carte");
    set_row(p, "Property", "EULAURL", "");
    set_row(p, "Registry", "reg2", "reg2\t2\tSoftware\\Quorlin\tTheme\t\tMainComponent");
    set_row(p, "Registry", "reg3", "reg3\t3\tSoftware\\Quorlin\tUser\t#5\tMainComponent");
    set_row(p, "Numbers", "1", "1\t\t2147483647\tone");
    set_row(p, "Numbers", "2", "");
    set_row(p, "Numbers", "-7", "-7\t-32767\t-2147483647\tminus seven");
    return p;
}

package_text past_two_byte_ids() {
    package_text p = base_package();
    std::string rows = "Key\tValue\ns72\tL72\nMany\tKey\n";
    for (int i = 0; i < 33000; ++i) rows += "k" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
    p.tables["Many"] = rows;
    set_row(p, "Property", "INSTALLLEVEL", "INSTALLLEVEL\t5");
    return p;
}

}  // namespace transform_test
