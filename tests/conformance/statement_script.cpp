#include "conformance/statement_script.h"

#include "msi/automation.h"
#include "msi/inspection.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace conformance {

namespace {

// The oracle's escapes, in its output and in its scripts: backslash, tab,
// newline and return by name, other control characters as \xHH.
std::string escaped(const std::string& utf8) {
    std::string out;
    for (unsigned char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += static_cast<char>(c);
    }
    return out;
}

void set_value(msi::Record& rec, int field, const std::string& value) {
    if (value.rfind("i:", 0) == 0)
        rec.SetIntegerData(field, std::stoi(value.substr(2)));
    else if (value.rfind("s:", 0) == 0)
        rec.SetStringData(field, sys::utf8_to_utf16(value.substr(2)));
    else if (value.rfind("b:", 0) == 0)
        rec.SetStream(field, std::vector<std::uint8_t>(value.begin() + 2, value.end()));
    else
        rec.SetStringData(field, u"");
}

std::string row_line(msi::Record& rec) {
    std::string line = "ROW";
    for (int f = 1; f <= rec.FieldCount(); ++f) {
        if (rec.field(f).type == msi::Record::field_value::kind::stream)
            line += "\t" + msi::inspect::stream_digest(rec.ReadStream(f, rec.DataSize(f)));
        else
            line += "\t" + escaped(sys::utf16_to_utf8(rec.StringData(f)));
    }
    return line + "\n";
}

// The installer's error number for the oracle's "error N": the Win32 code
// inside an HRESULT of that facility.
std::string outcome(unsigned step, const std::exception_ptr& failure) {
    std::string head = "STEP " + std::to_string(step);
    if (!failure) return head + " ok\n";
    try {
        std::rethrow_exception(failure);
    } catch (const msi::automation_error& e) {
        const auto code = static_cast<std::uint32_t>(e.code());
        if ((code & 0xFFFF0000u) == 0x80070000u) return head + " error " + std::to_string(code & 0xFFFF) + "\n";
        std::ostringstream hex;
        hex << std::hex << code;
        return head + " error 0x" + hex.str() + "\n";
    } catch (const std::exception& e) {
        return head + " error (" + e.what() + ")\n";
    }
}

int modify_mode(const std::string& name) {
    static const std::map<std::string, int> modes{{"seek", -1},  {"refresh", 0}, {"insert", 1},
                                                  {"update", 2}, {"assign", 3},  {"replace", 4},
                                                  {"merge", 5},  {"delete", 6},  {"insert_temporary", 7}};
    auto it = modes.find(name);
    if (it == modes.end()) throw std::runtime_error("unknown modify mode " + name);
    return it->second;
}

// View.Modify as the facade offers it; until it does, the step fails.
template <class View>
void modify(View& view, int mode, const std::shared_ptr<msi::Record>& rec) {
    if constexpr (requires { view.Modify(mode, rec); })
        view.Modify(mode, rec);
    else if constexpr (requires { view.Modify(mode, *rec); })
        view.Modify(mode, *rec);
    else
        throw std::runtime_error("View.Modify is not available");
}

bool is_select(const std::string& statement) {
    const auto start = statement.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return false;
    std::string word = statement.substr(start, 6);
    for (auto& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word == "SELECT";
}

std::string run_sql(msi::Database& db, const step& s) {
    auto view = db.OpenView(sys::utf8_to_utf16(s.at(1)));
    std::shared_ptr<msi::Record> params;
    if (s.size() > 2) {
        params = std::make_shared<msi::Record>(static_cast<int>(s.size() - 2));
        for (std::size_t i = 2; i < s.size(); ++i) set_value(*params, static_cast<int>(i - 1), s[i]);
    }
    view->Execute(params.get());
    std::string rows;
    if (!is_select(s.at(1))) return rows;
    while (auto rec = view->Fetch()) rows += row_line(*rec);
    return rows;
}

std::string run_modify(msi::Database& db, const step& s) {
    auto view = db.OpenView(sys::utf8_to_utf16(s.at(2)));
    view->Execute(nullptr);
    std::shared_ptr<msi::Record> rec;
    if (s.at(3) == "1") {
        rec = view->Fetch();
        if (!rec) throw msi::automation_error(msi::hresult_from_win32(259), "no row to fetch");  // ERROR_NO_MORE_ITEMS
    } else {
        // Cases set every field of a new record, so its size is the view's.
        int fields = 0;
        for (std::size_t i = 4; i < s.size(); ++i) fields = std::max(fields, std::stoi(s[i]));
        rec = std::make_shared<msi::Record>(fields);
    }
    for (std::size_t i = 4; i < s.size(); ++i) {
        const auto eq = s[i].find('=');
        set_value(*rec, std::stoi(s[i]), s[i].substr(eq + 1));
    }
    modify(*view, modify_mode(s.at(1)), rec);
    return row_line(*rec);
}

bool has_order_by(const std::string& statement) {
    std::string upper = statement;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("ORDER BY") != std::string::npos;
}

}  // namespace

std::string run_ours(const statement_case& c, const std::filesystem::path& package, const std::filesystem::path& copy) {
    std::filesystem::copy_file(package, copy, std::filesystem::copy_options::overwrite_existing);
    msi::Installer installer;
    auto db = installer.OpenDatabase(copy, msi::msiOpenDatabaseModeTransact);
    std::string out;
    unsigned number = 0;
    for (const auto& s : c.steps) {
        std::exception_ptr failure;
        try {
            out += s.at(0) == "SQL" ? run_sql(*db, s) : run_modify(*db, s);
        } catch (...) {
            failure = std::current_exception();
        }
        out += outcome(++number, failure);
    }
    try {
        db->Commit();
        out += "COMMIT ok\n";
    } catch (const msi::automation_error& e) {
        out += "COMMIT error " + std::to_string(static_cast<std::uint32_t>(e.code()) & 0xFFFF) + "\n";
    }
    return out;
}

std::string script_lines(const std::string& name, const statement_case& c, const std::filesystem::path& package) {
    std::string out = "CASE\t" + escaped(name) + "\t" + package.string() + "\n";
    for (const auto& s : c.steps) {
        for (std::size_t i = 0; i < s.size(); ++i) out += (i ? "\t" : "") + escaped(s[i]);
        out += "\n";
    }
    out += "END";
    for (const auto& t : c.tables) out += "\t" + t;
    return out + "\n";
}

std::vector<std::pair<std::string, std::string>> split_cases(const std::string& output) {
    std::vector<std::pair<std::string, std::string>> cases;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("CASE ", 0) == 0)
            cases.emplace_back(line.substr(5), "");
        else if (line == "END" || cases.empty())
            continue;
        else
            cases.back().second += line + "\n";
    }
    return cases;
}

std::string normalized(const statement_case& c, const std::string& output) {
    std::istringstream in(output);
    std::string line, out;
    std::vector<std::string> rows;
    while (std::getline(in, line)) {
        if (line.rfind("ROW", 0) == 0) {
            rows.push_back(line);
            continue;
        }
        if (line.rfind("STEP ", 0) == 0) {
            const std::size_t number = std::stoul(line.substr(5));
            const bool ordered = number >= 1 && number <= c.steps.size() && c.steps[number - 1].at(0) == "SQL" &&
                                 has_order_by(c.steps[number - 1].at(1));
            if (!ordered) std::sort(rows.begin(), rows.end());
        }
        for (const auto& r : rows) out += r + "\n";
        rows.clear();
        out += line + "\n";
    }
    for (const auto& r : rows) out += r + "\n";
    return out;
}

}  // namespace conformance
