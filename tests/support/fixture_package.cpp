#include "support/fixture_package.h"

#include "support/process.h"
#include "support/temp_dir.h"

#include <stdexcept>

namespace test_support {

namespace {

void check(const process_result& r, const std::string& what) {
    // msibuild reports some import failures on stderr while still exiting 0.
    if (r.exit_code != 0 || r.err.find("failed") != std::string::npos)
        throw std::runtime_error(what + " failed (exit " + std::to_string(r.exit_code) + "): " + r.err + r.out);
}

}  // namespace

void build_msi(const std::filesystem::path& out, const msi_source& source) {
    temp_dir work("quorlin-idt");
    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    const auto target = std::filesystem::absolute(out);

    for (const auto& [relative, bytes] : source.files) {
        auto file = work.path() / relative;
        std::filesystem::create_directories(file.parent_path());
        write_file(file, bytes);
    }
    const auto& s = source.summary;
    check(run_process({"msibuild", target.string(), "-s", s.title, s.author, s.template_text, s.package_code},
                      work.path()),
          "msibuild -s");
    // One table per call: msibuild takes a single file after -i.
    for (const auto& table : source.tables) {
        const std::string file = table.name + ".idt";
        write_file(work.path() / file, table.text);
        check(run_process({"msibuild", target.string(), "-i", file}, work.path()), "msibuild -i " + file);
    }
    int n = 0;
    for (const auto& [name, bytes] : source.streams) {
        const std::string file = "stream" + std::to_string(n++) + ".bin";
        write_file(work.path() / file, bytes);
        check(run_process({"msibuild", target.string(), "-a", name, file}, work.path()), "msibuild -a " + name);
    }
    for (const auto& query : source.queries)
        check(run_process({"msibuild", target.string(), "-q", query}, work.path()), "msibuild -q " + query);
}

void build_msi_from_wxs_file(const std::filesystem::path& out, const std::filesystem::path& wxs,
                             const std::vector<std::string>& defines) {
    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    std::vector<std::string> argv{"wixl", "-o", std::filesystem::absolute(out).string()};
    for (const auto& d : defines) {
        argv.push_back("-D");
        argv.push_back(d);
    }
    argv.push_back(std::filesystem::absolute(wxs).string());
    check(run_process(argv), "wixl " + wxs.filename().string());
}

void build_msi_from_wxs(const std::filesystem::path& out, const std::string& wxs_text,
                        const std::vector<std::string>& defines) {
    temp_dir work("quorlin-wxs");
    write_file(work / "package.wxs", wxs_text);
    build_msi_from_wxs_file(out, work / "package.wxs", defines);
}

idt_table property_table(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string text = "Property\tValue\ns72\tl0\nProperty\tProperty\n";
    for (const auto& [name, value] : rows) text += name + "\t" + value + "\n";
    return {"Property", text};
}

idt_table registry_table(const std::vector<std::pair<std::string, std::string>>& name_value_rows) {
    std::string text =
        "Registry\tRoot\tKey\tName\tValue\tComponent_\ns72\ti2\tl255\tL255\tL0\ts72\nRegistry\tRegistry\n";
    int n = 0;
    for (const auto& [name, value] : name_value_rows)
        text += "reg" + std::to_string(++n) + "\t2\tSoftware\\Quorlin\t" + name + "\t" + value + "\tMainComponent\n";
    return {"Registry", text};
}

}  // namespace test_support
