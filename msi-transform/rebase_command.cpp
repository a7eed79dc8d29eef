#include "commands.h"
#include "console.h"

#include "msi/inspection.h"
#include "system/same_file.h"
#include "system/text_conversion.h"

#include <nlohmann/json.hpp>

namespace msi_transform {
namespace {

using item = msi::inspect::rebase_item;
using value = msi::inspect::rebase_value;

const char* outcome_word(item::outcome o, bool json) {
    switch (o) {
    case item::outcome::carried: return "carried";
    case item::outcome::carried_over_change:
        return json ? "carried-over-vendor-change" : "carried over a vendor change";
    case item::outcome::dropped: return "dropped";
    case item::outcome::conflicting_add: return json ? "conflicting-add" : "conflicting add";
    }
    return "";
}

const char* change_word(item::change c) {
    switch (c) {
    case item::change::code_page: return "code-page";
    case item::change::add_table: return "add-table";
    case item::change::drop_table: return "drop-table";
    case item::change::add_column: return "add-column";
    case item::change::add_row: return "add-row";
    case item::change::remove_row: return "remove-row";
    case item::change::change_cells: return "change-cell";
    }
    return "";
}

std::string utf8(const std::u16string& text) { return sys::utf16_to_utf8(text); }

// Text on one line: quotes, backslashes and control characters escaped.
std::string quoted(const std::u16string& text) {
    std::string out = "\"";
    for (unsigned char c : utf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string shown(const value& v) {
    switch (v.type) {
    case value::kind::null: return "NULL";
    case value::kind::integer: return std::to_string(v.integer);
    case value::kind::string: return quoted(v.text);
    case value::kind::binary: return "[binary, " + std::to_string(v.binary_size) + " bytes]";
    }
    return "";
}

std::string row_name(const item& i) {
    std::string text = utf8(i.table) + " [";
    for (std::size_t k = 0; k < i.key.size(); ++k) text += (k ? ", " : "") + quoted(i.key[k]);
    return text + "]";
}

std::string cells_text(const item& i) {
    std::string text;
    for (const auto& c : i.cells) {
        text += (text.empty() ? " " : "; ") + utf8(c.column) + ":";
        if (c.old_value) text += " old " + shown(*c.old_value) + ",";
        if (c.new_value) text += " vendor " + shown(*c.new_value) + ",";
        text += " administrator " + shown(c.transform_value);
    }
    return text;
}

std::string line(const item& i) {
    std::string text = std::string(outcome_word(i.result, false)) + ": ";
    switch (i.what) {
    case item::change::code_page:
        text += "code page: old " + std::to_string(i.old_code_page) + ", vendor " + std::to_string(i.new_code_page) +
                ", administrator " + std::to_string(i.transform_code_page);
        break;
    case item::change::add_table:
        text += "table " + utf8(i.table) + " added (" + std::to_string(i.rows) + " rows)";
        break;
    case item::change::drop_table: text += "table " + utf8(i.table) + " dropped"; break;
    case item::change::add_column: text += "column " + utf8(i.table) + "." + utf8(i.column) + " added"; break;
    case item::change::add_row:
        text += "row " + row_name(i) + " added" + (i.cells.empty() ? "" : ";" + cells_text(i));
        break;
    case item::change::remove_row: text += "row " + row_name(i) + " removed"; break;
    case item::change::change_cells:
        text += i.cells.empty() ? "rows of table " + utf8(i.table) + " changed" : "cell " + row_name(i) + cells_text(i);
        break;
    }
    if (!i.reason.empty()) text += " (" + i.reason + ")";
    return text;
}

nlohmann::json json_value(const value& v) {
    switch (v.type) {
    case value::kind::null: return nullptr;
    case value::kind::integer: return v.integer;
    case value::kind::string: return utf8(v.text);
    case value::kind::binary: return {{"binary_bytes", v.binary_size}};
    }
    return nullptr;
}

nlohmann::json json_item(const item& i) {
    nlohmann::json j = {{"outcome", outcome_word(i.result, true)}, {"change", change_word(i.what)}};
    if (i.what == item::change::code_page) {
        j["old"] = i.old_code_page;
        j["vendor"] = i.new_code_page;
        j["administrator"] = i.transform_code_page;
        return j;
    }
    j["table"] = utf8(i.table);
    if (!i.key.empty()) {
        auto& key = j["key"] = nlohmann::json::array();
        for (const auto& k : i.key) key.push_back(utf8(k));
    }
    if (!i.column.empty()) j["column"] = utf8(i.column);
    if (i.what == item::change::add_table) j["rows"] = i.rows;
    if (!i.cells.empty()) {
        auto& cells = j["cells"] = nlohmann::json::array();
        for (const auto& c : i.cells) {
            nlohmann::json cell = {{"column", utf8(c.column)}};
            if (c.old_value) cell["old"] = json_value(*c.old_value);
            if (c.new_value) cell["vendor"] = json_value(*c.new_value);
            cell["administrator"] = json_value(c.transform_value);
            cells.push_back(std::move(cell));
        }
    }
    if (!i.reason.empty()) j["reason"] = i.reason;
    return j;
}

}  // namespace

// Everything is worked out before OUT is touched; OUT then replaces any
// earlier file in one step.
int rebase_command(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json")
            json = true;
        else if (a.rfind("--", 0) == 0)
            throw usage_error{"unknown option " + a};
        else
            files.push_back(a);
    }
    if (files.size() != 4) throw usage_error{"rebase needs OLD.msi T.mst NEW.msi OUT.mst"};
    const std::filesystem::path old_package(files[0]), transform(files[1]), new_package(files[2]), out(files[3]);
    for (const auto& input : {old_package, transform, new_package})
        if (sys::same_file(out, input)) throw usage_error{"OUT must be another file than OLD, T and NEW"};

    const msi::inspect::rebase_report result = msi::inspect::rebase_transform(old_package, transform, new_package, out);
    std::size_t review = 0;
    for (const auto& i : result.items) review += i.result != item::outcome::carried;

    const std::size_t carried = result.items.size() - review;
    if (json) {
        nlohmann::json report = {{"items", nlohmann::json::array()}};
        for (const auto& i : result.items) report["items"].push_back(json_item(i));
        report["carried"] = carried;
        report["review"] = review;
        report["written"] = result.written;
        // Bytes that are not UTF-8 (a package's strings may hold any) become U+FFFD.
        write_out(report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    } else {
        for (const auto& i : result.items) write_out(line(i) + "\n");
        write_out(std::to_string(carried) + " carried, " + std::to_string(review) + " to review; " +
                  (result.written ? "written to " + out.string() : "nothing left to carry, nothing written") + "\n");
    }
    return review == 0 && result.written ? 0 : 1;
}

}  // namespace msi_transform
