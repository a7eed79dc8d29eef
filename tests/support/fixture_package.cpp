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

namespace {

// A product with one file and two shortcuts to it, on the desktop and in
// the programs menu, in a cabinet inside the package.
const char* const shortcut_package = R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{1C2D3E4F-5A6B-4C7D-8E9F-0A1B2C3D4E60}" Name="Quorlin PDF Pro" Language="1033" Version="26.4.4.1"
           Manufacturer="Quorlin" UpgradeCode="{2D3E4F5A-6B7C-4D8E-9FA0-B1C2D3E4F5A7}">
    <Package InstallerVersion="200" Compressed="yes"/>
    <Media Id="1" Cabinet="main.cab" EmbedCab="yes"/>
    <Property Id="DT_SHORTCUT" Value="1"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="DesktopFolder"/>
      <Directory Id="ProgramMenuFolder"/>
      <Directory Id="ProgramFilesFolder">
        <Directory Id="INSTALLDIR" Name="Quorlin">
          <Component Id="Main" Guid="{3E4F5A6B-7C8D-4E9F-A0B1-C2D3E4F5A6B8}">
            <File Id="Readme" Name="readme.txt" Source="readme.txt" KeyPath="yes">
              <Shortcut Id="DesktopReadme" Directory="DesktopFolder" Name="Quorlin Readme"/>
              <Shortcut Id="MenuReadme" Directory="ProgramMenuFolder" Name="Quorlin Readme"/>
            </File>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Complete" Level="1"><ComponentRef Id="Main"/></Feature>
  </Product>
</Wix>)";

}  // namespace

void build_msi_with_shortcuts(const std::filesystem::path& out) {
    temp_dir work("quorlin-wxs");
    // wixl finds the file beside the source.
    write_file(work / "readme.txt", "read me\n");
    write_file(work / "package.wxs", shortcut_package);
    build_msi_from_wxs_file(out, work / "package.wxs");
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
