#pragma once
// What a software-distribution system needs to deploy a package with a
// transform: the silent-install command line, and the product's identity
// and public properties once the transform is applied.
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace msi {

class package_database;

struct deployment_recipe {
    std::string command_line;  // msiexec /i "PACKAGE" TRANSFORMS="T" /qn
    // UTF-8, after the transform; "" when the Property table lacks one.
    std::string product_code, upgrade_code, product_version, product_name;
    // The public properties (no lower-case letter in the name) the transform
    // adds or changes, by name.
    std::map<std::string, std::string> public_properties;
};

// The silent-install command line for the files as named by the caller: each
// name in double quotes, a double quote inside it doubled, as msiexec reads it.
std::string msiexec_command_line(std::string_view package_as_given, std::string_view transform_as_given);

// Applies the transform at `transform` to `package` with the error conditions
// the transform suppresses itself; the changes are held, never committed.
// Raises automation_error when the transform cannot be read or does not apply.
deployment_recipe make_deployment_recipe(package_database& package, const std::filesystem::path& transform,
                                         std::string_view package_as_given, std::string_view transform_as_given);

// The recipe as lines of text, for people and for scripts that cut fields.
std::string deployment_recipe_text(const deployment_recipe& recipe);

}  // namespace msi
