#include "change_audit.h"

#include <array>
#include <utility>

namespace msi_transform {
namespace {

// The classes of the tables whose every change falls in one class. Tables
// not named here, and tables only a package defines, are "other".
constexpr std::array<std::pair<std::string_view, change_class>, 36> table_classes{{
    {"CustomAction", change_class::runs_code},
    {"Binary", change_class::runs_code},
    {"AdminExecuteSequence", change_class::runs_code},
    {"AdminUISequence", change_class::runs_code},
    {"AdvtExecuteSequence", change_class::runs_code},
    {"InstallExecuteSequence", change_class::runs_code},
    {"InstallUISequence", change_class::runs_code},
    {"ServiceInstall", change_class::runs_code},
    {"ServiceControl", change_class::runs_code},
    {"_Streams", change_class::runs_code},
    {"Upgrade", change_class::identity},
    {"Registry", change_class::system},
    {"Environment", change_class::system},
    {"IniFile", change_class::system},
    {"Shortcut", change_class::system},
    {"File", change_class::system},
    {"RemoveFile", change_class::system},
    {"CreateFolder", change_class::system},
    {"Directory", change_class::system},
    {"Property", change_class::properties},
    {"Dialog", change_class::interface},
    {"Control", change_class::interface},
    {"ControlEvent", change_class::interface},
    {"ControlCondition", change_class::interface},
    {"EventMapping", change_class::interface},
    {"UIText", change_class::interface},
    {"Error", change_class::interface},
    {"ActionText", change_class::interface},
    {"RadioButton", change_class::interface},
    {"ComboBox", change_class::interface},
    {"ListBox", change_class::interface},
    {"ListView", change_class::interface},
    {"CheckBox", change_class::interface},
    {"Billboard", change_class::interface},
    {"BBControl", change_class::interface},
    {"TextStyle", change_class::interface},
}};

// The Property rows that name the product.
constexpr std::array<std::string_view, 3> identity_properties{"ProductCode", "UpgradeCode", "ProductVersion"};

constexpr std::array<std::pair<change_class, const char*>, 6> class_names{{
    {change_class::runs_code, "runs-code"},
    {change_class::identity, "identity"},
    {change_class::system, "system"},
    {change_class::properties, "properties"},
    {change_class::interface, "interface"},
    {change_class::other, "other"},
}};

change_class table_class(std::string_view table) {
    for (const auto& [name, kind] : table_classes)
        if (name == table) return kind;
    return change_class::other;
}

// A Property row names the product or sets a property; a Property change
// whose rows cannot be read (no package) may do either and counts as the
// graver.
change_class row_class(const table_changes& t, const row_change* row) {
    if (t.name != "Property") return table_class(t.name);
    if (!row) return change_class::identity;
    if (!row->key.empty() && row->key[0].type == value::kind::text)
        for (auto name : identity_properties)
            if (row->key[0].text == name) return change_class::identity;
    return change_class::properties;
}

}  // namespace

const std::vector<change_class>& change_classes() {
    static const std::vector<change_class> all{change_class::runs_code,  change_class::identity,  change_class::system,
                                               change_class::properties, change_class::interface, change_class::other};
    return all;
}

const char* change_class_name(change_class c) {
    for (const auto& [kind, name] : class_names)
        if (kind == c) return name;
    return "other";
}

std::optional<change_class> parse_change_class(std::string_view text) {
    for (const auto& [kind, name] : class_names)
        if (text == name) return kind;
    return std::nullopt;
}

std::vector<audited_change> audit_changes(const std::vector<table_changes>& tables,
                                          const msi::inspect::transform_summary& identity) {
    std::vector<audited_change> out;
    if (identity.base_product_code != identity.new_product_code)
        out.push_back({change_class::identity, "summary",
                       "product code " + identity.base_product_code + " -> " + identity.new_product_code});
    if (identity.base_version != identity.new_version)
        out.push_back({change_class::identity, "summary",
                       "product version " + identity.base_version + " -> " + identity.new_version});
    for (const auto& t : tables) {
        if (t.added) out.push_back({row_class(t, nullptr), t.name, "table added"});
        if (t.dropped) out.push_back({row_class(t, nullptr), t.name, "table dropped"});
        for (const auto& [name, notation] : t.new_columns)
            out.push_back({row_class(t, nullptr), t.name, "new column " + name + " " + notation});
        if (!t.note.empty())
            out.push_back({row_class(t, nullptr), t.name, "row changes (give PACKAGE.msi to read them)"});
        for (const auto& r : t.rows) {
            const char* verb = r.operation == "add" ? "added" : r.operation == "remove" ? "removed" : "changed";
            out.push_back({row_class(t, &r), t.name, std::string(verb) + " [" + key_words(r.key) + "]"});
        }
    }
    return out;
}

std::string audited_change_line(const audited_change& c) { return c.table + " " + c.what; }

}  // namespace msi_transform
