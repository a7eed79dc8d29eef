#include "msi/transform/deployment_recipe.h"

#include "msi/db/package_database.h"
#include "msi/transform/apply.h"
#include "msi/transform/reader.h"
#include "msi/transform/validation.h"
#include "system/text_conversion.h"

#include <algorithm>

namespace msi {
namespace {

std::map<std::string, std::string> properties(package_database& db) {
    std::map<std::string, std::string> out;
    if (!db.has_table(u"Property")) return out;
    table& t = db.get_table(u"Property");
    const int key = t.column_index(u"Property"), value = t.column_index(u"Value");
    if (key < 0 || value < 0) return out;
    for (std::size_t row = 0; row < t.row_count(); ++row)
        out[sys::utf16_to_utf8(db.cell_text(t, row, static_cast<std::size_t>(key)))] =
            sys::utf16_to_utf8(db.cell_text(t, row, static_cast<std::size_t>(value)));
    return out;
}

bool is_public(const std::string& name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string value_or_empty(const std::map<std::string, std::string>& m, const char* name) {
    auto it = m.find(name);
    return it == m.end() ? std::string() : it->second;
}

}  // namespace

std::string msiexec_command_line(std::string_view package_as_given, std::string_view transform_as_given) {
    return "msiexec /i " + quoted(package_as_given) + " TRANSFORMS=" + quoted(transform_as_given) + " /qn";
}

deployment_recipe make_deployment_recipe(package_database& package, const std::filesystem::path& transform,
                                         std::string_view package_as_given, std::string_view transform_as_given) {
    const auto before = properties(package);
    const int suppressed = read_transform_identity(transform_reader(transform).summary()).error_conditions;
    apply_transform(package, transform, suppressed);
    const auto after = properties(package);

    deployment_recipe recipe;
    recipe.command_line = msiexec_command_line(package_as_given, transform_as_given);
    recipe.product_code = value_or_empty(after, "ProductCode");
    recipe.upgrade_code = value_or_empty(after, "UpgradeCode");
    recipe.product_version = value_or_empty(after, "ProductVersion");
    recipe.product_name = value_or_empty(after, "ProductName");
    for (const auto& [name, value] : after) {
        auto old = before.find(name);
        if (is_public(name) && (old == before.end() || old->second != value)) recipe.public_properties[name] = value;
    }
    return recipe;
}

std::string deployment_recipe_text(const deployment_recipe& recipe) {
    std::string out = "Deployment recipe\n";
    out += "  Command line:    " + recipe.command_line + "\n";
    out += "  Product code:    " + recipe.product_code + "\n";
    out += "  Upgrade code:    " + recipe.upgrade_code + "\n";
    out += "  Product version: " + recipe.product_version + "\n";
    out += "  Product name:    " + recipe.product_name + "\n";
    out += "  Public properties the transform sets:";
    if (recipe.public_properties.empty()) out += " none";
    out += "\n";
    for (const auto& [name, value] : recipe.public_properties) out += "    " + name + " = " + value + "\n";
    return out;
}

}  // namespace msi
