#include "support/engine_fixtures.h"

#include "msi/db/code_page.h"
#include "support/msi_oracle.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace engine_test {

using test_support::idt_table;

idt_table kinds_table() {
    return {"Kinds",
            "Key\tText\tLoc\tShort\tShort2\tLong\tLong2\tData\n"
            "s72\tS255\tL64\tI2\ti2\tI4\ti4\tV0\n"
            "Kinds\tKey\n"
            "a\tplain\tlocalized\t-5\t32767\t-2147483647\t2147483647\tdata.bin\n"
            "b\t\t\t\t-32767\t\t0\t\n"};
}

test_support::msi_source standard_source() {
    test_support::msi_source s;
    s.tables.push_back(test_support::property_table(
        {{"ProductName", "Quorlin Test"}, {"IMANAGEENABLED", "0"}, {"EMPTYISH", "x"}, {"LANG", "en"}}));
    s.tables.push_back(test_support::registry_table({{"Shared", "one"}, {"Shared", "two"}, {"Count", "#8"}}));
    s.tables.push_back(kinds_table());
    s.files.emplace_back("Kinds/data.bin", "hello binary");
    return s;
}

void build_msi_with_wine(const std::filesystem::path& out, int code_page, const std::string& locale,
                         const std::vector<idt_table>& tables) {
    test_support::temp_dir work("quorlin-msidb");
    test_support::write_file(work / "_ForceCodepage.idt",
                             "\r\n\r\n" + std::to_string(code_page) + "\t_ForceCodepage\r\n");
    std::vector<std::string> argv{"wine",
                                  "msidb",
                                  "-c",
                                  "-d",
                                  "Z:" + std::filesystem::absolute(out).string(),
                                  "-f",
                                  "Z:" + work.path().string(),
                                  "-i",
                                  "_ForceCodepage.idt"};
    for (const idt_table& t : tables) {
        std::string text;
        for (char c : t.text) {
            if (c == '\n') text += '\r';
            text += c;
        }
        test_support::write_file(work / (t.name + ".idt"), msi::encode_code_page(sys::utf8_to_utf16(text), code_page));
        argv.push_back(t.name + ".idt");
    }
    for (std::string& a : argv)
        if (a.rfind("Z:", 0) == 0)
            for (char& c : a)
                if (c == '/') c = '\\';
    // The oracle's Wine prefix, made ready by a first oracle call.
    test_support::run_msi_oracle({});
    const char* prefix = std::getenv("MSI_ORACLE_PREFIX");
    const char* home = std::getenv("HOME");
    std::string wineprefix = prefix && *prefix ? prefix : std::string(home ? home : "/tmp") + "/.cache/msi-oracle-wine";
    std::vector<std::string> command{"env", "WINEPREFIX=" + wineprefix, "WINEDEBUG=-all", "LC_ALL=" + locale};
    command.insert(command.end(), argv.begin(), argv.end());
    std::filesystem::remove(out);
    auto r = test_support::run_process(command);
    if (r.exit_code != 0 || !std::filesystem::exists(out))
        throw std::runtime_error("wine msidb failed: " + r.err + r.out);
}

std::u16string select_one(msi::Database& db, const std::u16string& sql) {
    auto view = db.OpenView(sql);
    view->Execute();
    auto record = view->Fetch();
    return record ? record->StringData(1) : std::u16string();
}

std::vector<std::string> select_all(msi::Database& db, const std::u16string& sql) {
    auto view = db.OpenView(sql);
    view->Execute();
    std::vector<std::string> rows;
    while (auto record = view->Fetch()) {
        std::string line;
        for (int f = 1; f <= record->FieldCount(); ++f) {
            if (f > 1) line += "\t";
            if (record->field(f).type == msi::Record::field_value::kind::stream) {
                const std::vector<std::uint8_t> bytes = record->ReadStream(f, record->DataSize(f));
                line.append(bytes.begin(), bytes.end());
            } else {
                line += sys::utf16_to_utf8(record->StringData(f));
            }
        }
        rows.push_back(line);
    }
    return rows;
}

void execute(msi::Database& db, const std::u16string& sql, const std::vector<std::u16string>& params) {
    auto view = db.OpenView(sql);
    msi::Record record(static_cast<int>(params.size()));
    for (std::size_t i = 0; i < params.size(); ++i) record.SetStringData(static_cast<int>(i + 1), params[i]);
    view->Execute(params.empty() ? nullptr : &record);
}

std::shared_ptr<msi::Database> open(const std::filesystem::path& path, int mode) {
    return msi::create_installer()->OpenDatabase(sys::utf8_to_utf16(path.string()), mode);
}

std::shared_ptr<msi::Database> open(const test_support::package_bytes& bytes, int mode) {
    return msi::create_installer()->OpenDatabase(bytes, mode);
}

std::string replace_line(std::string dump, const std::string& old_line, const std::string& new_line) {
    auto at = dump.find("\n" + old_line + "\n");
    if (at == std::string::npos) throw std::runtime_error("no line " + old_line);
    dump.replace(at + 1, old_line.size(), new_line);
    return sorted_lines(dump);
}

std::string sorted_lines(const std::string& dump) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < dump.size()) {
        auto end = dump.find('\n', start);
        if (end == std::string::npos) end = dump.size();
        lines.push_back(dump.substr(start, end - start));
        start = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

msi::hresult error_of(const std::function<void()>& f, std::string* message) {
    try {
        f();
    } catch (const msi::automation_error& e) {
        if (message) *message = e.what();
        return e.code();
    }
    return 0;
}

}  // namespace engine_test
