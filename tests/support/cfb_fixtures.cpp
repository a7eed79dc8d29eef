#include "support/cfb_fixtures.h"

#include "msi/db/stream_name.h"
#include "support/memory_package.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace cfb_test {

bytes to_bytes(const std::string& s) { return bytes(s.begin(), s.end()); }
std::string to_string(const bytes& b) { return std::string(b.begin(), b.end()); }

std::string pseudo_random(std::size_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return out;
}

std::string big_stream_content() { return pseudo_random(big_stream_size, 7); }

namespace {

test_support::msi_source package_source(package_options options) {
    std::vector<std::pair<std::string, std::string>> rows{
        {"ProductName", "Hello"}, {"Marker", "OldValue1"}, {"Manufacturer", "Quorlin tests"}};
    if (options.long_value) rows.emplace_back("LongOne", std::string(5000, 'x'));
    test_support::msi_source source;
    source.tables.push_back(test_support::property_table(rows));
    source.streams.emplace_back("small.bin", pseudo_random(300, 3));
    if (options.big_stream) source.streams.emplace_back("big.bin", big_stream_content());
    return source;
}

std::filesystem::path package_path(const std::filesystem::path& dir, package_options options, const char* maker) {
    return dir / (std::string("package") + maker + (options.long_value ? "-long" : "") +
                  (options.big_stream ? "-big" : "") + ".msi");
}

}  // namespace

std::filesystem::path build_package(const std::filesystem::path& dir, package_options options) {
    const auto path = package_path(dir, options, "");
    test_support::build_msi(path, package_source(options));
    return path;
}

std::filesystem::path write_package(const std::filesystem::path& dir, package_options options) {
    const auto path = package_path(dir, options, "-ours");
    test_support::write_msi(path, package_source(options));
    return path;
}

namespace {

std::u16string from_hex_units(const std::string& hex) {
    std::u16string out;
    for (std::size_t i = 0; i + 4 <= hex.size(); i += 4) {
        unsigned lo = std::stoul(hex.substr(i, 2), nullptr, 16);
        unsigned hi = std::stoul(hex.substr(i + 2, 2), nullptr, 16);
        out.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return out;
}

std::string run_ole_tool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/usr/bin/python3", CFB_OLE_TOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    auto r = test_support::run_process(argv);
    if (r.exit_code != 0) throw std::runtime_error("ole_tool.py failed: " + r.err);
    return r.out;
}

}  // namespace

ole_view ole_read(const std::filesystem::path& file) {
    test_support::temp_dir out("quorlin-ole");
    std::istringstream lines(run_ole_tool({"dump", file.string(), out.path().string()}));
    ole_view view;
    std::string word;
    lines >> word >> view.sector_size >> word >> view.mini_stream_size >> view.mini_stream_sectors;
    std::getline(lines, word);
    for (std::string line; std::getline(lines, line);) view.listing += line + "\n";
    for (const auto& entry : std::filesystem::directory_iterator(out.path()))
        view.streams[from_hex_units(entry.path().stem().string())] = test_support::read_file(entry.path());
    return view;
}

void convert_to_version4(const std::filesystem::path& in, const std::filesystem::path& out) {
    run_ole_tool({"to-v4", in.string(), out.string()});
}

std::u16string table_stream(const char* table) {
    std::string s(table);
    return msi::encode_stream_name(std::u16string(s.begin(), s.end()), true);
}

std::u16string plain_stream(const char* name) {
    std::string s(name);
    return msi::encode_stream_name(std::u16string(s.begin(), s.end()), false);
}

void poke32(const std::filesystem::path& file, std::uint64_t offset, std::uint32_t value) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    char b[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                 static_cast<char>(value >> 24)};
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(b, 4);
    if (!f) throw std::runtime_error("cannot patch " + file.string());
}

std::string file_bytes(const std::filesystem::path& file) { return test_support::read_file(file); }

std::string oracle_rows(const std::filesystem::path& package, const std::string& table) {
    auto r = test_support::run_msi_oracle({"-q", "-t", table, package.string()});
    if (r.exit_code != 0) throw std::runtime_error("msi-oracle failed: " + r.err + r.out);
    return r.out;
}

}  // namespace cfb_test
