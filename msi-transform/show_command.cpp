#include "commands.h"
#include "change_audit.h"
#include "console.h"

#include "msi/automation.h"
#include "msi/inspection.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>

#include <nlohmann/json.hpp>

namespace msi_transform {
namespace {

std::string hex4(int v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

std::string json_string(const std::string& bytes) {
    // Bytes that are not UTF-8 (a file name) become U+FFFD: JSON is UTF-8.
    const std::string s = sys::utf16_to_utf8(sys::utf8_to_utf16(bytes));
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char e[8];
                std::snprintf(e, sizeof e, "\\u%04x", c);
                out += e;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string json_value(const value& v) {
    switch (v.type) {
    case value::kind::null: return "null";
    case value::kind::integer: return std::to_string(v.integer);
    case value::kind::text: return json_string(v.text);
    case value::kind::binary: return "{\"binary_size\": " + std::to_string(v.size) + "}";
    }
    return "null";
}

std::string json_list(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + json_string(items[i]);
    return out + "]";
}

void print_plain(std::ostream& out, const std::string& file, const msi::inspect::transform_summary& id,
                 const std::vector<table_changes>& tables, bool with_package) {
    auto or_blank = [](const std::string& v) { return v.empty() ? std::string("(not given)") : v; };
    out << "Transform " << file << "\n";
    if (!id.unreadable.empty()) out << "  Summary information unreadable: " << id.unreadable << "\n";
    if (!id.title.empty()) out << "  Title:            " << id.title << "\n";
    if (!id.subject.empty()) out << "  Subject:          " << id.subject << "\n";
    if (!id.creating_application.empty()) out << "  Made by:          " << id.creating_application << "\n";
    out << "  Code page:        " << (id.code_page == 0 ? std::string("neutral") : std::to_string(id.code_page))
        << "\n";
    out << "  Base package:     product " << or_blank(id.base_product_code) << ", version " << or_blank(id.base_version)
        << ", platform " << (id.base_platform.empty() ? std::string("Intel") : id.base_platform) << ", language "
        << or_blank(id.base_language) << "\n";
    out << "  Result:           product " << or_blank(id.new_product_code) << ", version " << or_blank(id.new_version)
        << ", platform " << (id.new_platform.empty() ? std::string("Intel") : id.new_platform) << ", language "
        << or_blank(id.new_language) << "\n";
    out << "  Upgrade code:     " << or_blank(id.upgrade_code) << "\n";
    auto names = [](const std::vector<std::string>& v) {
        std::string joined;
        for (const auto& n : v) joined += (joined.empty() ? "" : ", ") + n;
        return joined.empty() ? std::string("none") : joined;
    };
    if (!id.has_flags) {
        out << "  Validation:       (no flags given)\n  Suppressed errors: (no flags given)\n";
    } else {
        out << "  Validation:       " << hex4(id.validation) << " " << names(id.validation_names) << "\n";
        out << "  Suppressed errors: " << hex4(id.error_conditions) << " " << names(id.condition_names) << "\n";
    }
    for (const auto& t : tables) {
        out << "\nTable " << t.name;
        if (t.added) out << " (added)";
        if (t.dropped) out << " (dropped)";
        std::size_t adds = 0, removes = 0, updates = 0;
        for (const auto& r : t.rows) (r.operation == "add" ? adds : r.operation == "remove" ? removes : updates)++;
        if (!t.rows.empty()) out << ": " << adds << " added, " << removes << " removed, " << updates << " changed";
        out << "\n";
        for (const auto& [name, notation] : t.new_columns) out << "  new column " << name << " " << notation << "\n";
        if (!t.note.empty()) out << "  " << t.note << "\n";
        for (const auto& r : t.rows) {
            const char* verb = r.operation == "add" ? "added  " : r.operation == "remove" ? "removed" : "changed";
            out << "  " << verb << " [" << key_words(r.key) << "]";
            if (with_package && r.operation != "add" && !r.in_package) out << " (not in the package)";
            if (with_package && r.operation == "add" && r.in_package) out << " (already in the package)";
            out << "\n";
            for (const auto& c : r.cells) {
                out << "      " << c.column << ": ";
                if (c.before) out << plain_value(*c.before) << " -> ";
                out << plain_value(c.now) << "\n";
            }
        }
    }
}

void print_json(std::ostream& out, const std::string& file, const msi::inspect::transform_summary& id,
                const std::vector<table_changes>& tables, bool with_package) {
    out << "{\n  \"transform\": " << json_string(file) << ",\n  \"code_page\": " << id.code_page
        << ",\n  \"summary_error\": " << (id.unreadable.empty() ? "null" : json_string(id.unreadable))
        << ",\n  \"summary\": {\n"
        << "    \"title\": " << json_string(id.title) << ",\n    \"subject\": " << json_string(id.subject)
        << ",\n    \"creating_application\": " << json_string(id.creating_application) << ",\n"
        << "    \"base\": {\"product_code\": " << json_string(id.base_product_code)
        << ", \"version\": " << json_string(id.base_version) << ", \"platform\": " << json_string(id.base_platform)
        << ", \"language\": " << json_string(id.base_language) << "},\n"
        << "    \"result\": {\"product_code\": " << json_string(id.new_product_code)
        << ", \"version\": " << json_string(id.new_version) << ", \"platform\": " << json_string(id.new_platform)
        << ", \"language\": " << json_string(id.new_language) << "},\n"
        << "    \"upgrade_code\": " << json_string(id.upgrade_code) << ",\n";
    if (id.has_flags)
        out << "    \"validation\": {\"value\": " << id.validation << ", \"names\": " << json_list(id.validation_names)
            << "},\n"
            << "    \"error_conditions\": {\"value\": " << id.error_conditions
            << ", \"names\": " << json_list(id.condition_names) << "}\n";
    else
        out << "    \"validation\": null,\n    \"error_conditions\": null\n";
    out << "  },\n  \"tables\": [";
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const auto& t = tables[i];
        out << (i ? "," : "") << "\n    {\"name\": " << json_string(t.name)
            << ", \"added\": " << (t.added ? "true" : "false") << ", \"dropped\": " << (t.dropped ? "true" : "false")
            << ",\n     \"new_columns\": [";
        for (std::size_t c = 0; c < t.new_columns.size(); ++c)
            out << (c ? ", " : "") << "{\"name\": " << json_string(t.new_columns[c].first)
                << ", \"type\": " << json_string(t.new_columns[c].second) << "}";
        out << "],\n     \"note\": " << (t.note.empty() ? "null" : json_string(t.note)) << ",\n     \"rows\": [";
        for (std::size_t r = 0; r < t.rows.size(); ++r) {
            const auto& row = t.rows[r];
            out << (r ? "," : "") << "\n       {\"operation\": " << json_string(row.operation) << ", \"key\": [";
            for (std::size_t k = 0; k < row.key.size(); ++k) out << (k ? ", " : "") << json_value(row.key[k]);
            out << "]";
            if (with_package) out << ", \"in_package\": " << (row.in_package ? "true" : "false");
            out << ", \"cells\": [";
            for (std::size_t c = 0; c < row.cells.size(); ++c) {
                out << (c ? ", " : "") << "{\"column\": " << json_string(row.cells[c].column)
                    << ", \"new\": " << json_value(row.cells[c].now);
                if (row.cells[c].before) out << ", \"old\": " << json_value(*row.cells[c].before);
                out << "}";
            }
            out << "]}";
        }
        out << (t.rows.empty() ? "" : "\n     ") << "]}";
    }
    out << (tables.empty() ? "" : "\n  ") << "]";
}

// Keys added since the layout above was fixed, each on one line; text that
// is not UTF-8 becomes U+FFFD rather than failing.
void print_json_key(std::ostream& out, const std::string& key, const nlohmann::ordered_json& value) {
    out << ",\n  " << nlohmann::json(key).dump() << ": "
        << value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::ordered_json audit_json(const std::vector<audited_change>& audit) {
    auto out = nlohmann::ordered_json::object();
    for (change_class c : change_classes()) {
        auto& list = out[change_class_name(c)] = nlohmann::ordered_json::array();
        for (const auto& a : audit)
            if (a.kind == c) list.push_back({{"table", a.table}, {"change", a.what}});
    }
    return out;
}

nlohmann::ordered_json recipe_json(const msi::inspect::deployment_recipe& r) {
    return {{"command_line", r.command_line}, {"product_code", r.product_code},
            {"upgrade_code", r.upgrade_code}, {"product_version", r.product_version},
            {"product_name", r.product_name}, {"public_properties", r.public_properties}};
}

void print_audit(std::ostream& out, const std::vector<audited_change>& audit) {
    out << "\nAudit\n";
    for (change_class c : change_classes()) {
        const auto n = std::count_if(audit.begin(), audit.end(), [&](const auto& a) { return a.kind == c; });
        out << "  " << change_class_name(c) << ": " << (n ? std::to_string(n) : std::string("none")) << "\n";
        for (const auto& a : audit)
            if (a.kind == c) out << "    " << audited_change_line(a) << "\n";
    }
}

}  // namespace

int show_command(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool json = false, recipe = false;
    for (const auto& a : args) {
        if (a == "--json")
            json = true;
        else if (a == "--recipe")
            recipe = true;
        else if (a.rfind("--", 0) == 0)
            throw usage_error{"unknown option " + a};
        else
            files.push_back(a);
    }
    if (files.empty() || files.size() > 2) throw usage_error{"show needs TRANSFORM.mst and, if wanted, PACKAGE.msi"};
    if (recipe && files.size() != 2) throw usage_error{"--recipe needs PACKAGE.msi"};
    const msi::inspect::transform_file mst(files[0]);
    std::shared_ptr<msi::Database> package;
    if (files.size() == 2) {
        msi::Installer installer;
        package = installer.OpenDatabase(sys::utf8_to_utf16(files[1]), msi::msiOpenDatabaseModeReadOnly);
    }
    // A damaged summary does not hide the rows: it is shown as damaged.
    const auto& identity = mst.summary();
    const auto tables = mst.changes(package.get());
    const auto audit = audit_changes(tables, identity);
    // Last: the recipe applies the transform to the package in memory.
    std::optional<msi::inspect::deployment_recipe> made;
    if (recipe) made = msi::inspect::make_deployment_recipe(*package, files[0], files[1], files[0]);
    std::ostringstream out;
    if (json) {
        print_json(out, files[0], identity, tables, package != nullptr);
        print_json_key(out, "audit", audit_json(audit));
        if (made) print_json_key(out, "recipe", recipe_json(*made));
        out << "\n}\n";
    } else if (made) {
        out << made->text;
    } else {
        print_plain(out, files[0], identity, tables, package != nullptr);
        print_audit(out, audit);
    }
    write_out(out.str());
    return 0;
}

}  // namespace msi_transform
