#pragma once
// The settings as text lines "name = value", as the command line shows them,
// reads them from a settings file and takes them one by one: check boxes
// "on"/"off", the language by its code, the print profile as "default" or
// "pcl", the iManage path as text.
#include "installer/settings_values.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace deployment {

// Names of the two agreement addresses in the shown text. A settings file may
// hold them (it may be what --show printed); they are not settings and are
// passed over there.
inline constexpr std::string_view terms_address_name = "terms_of_service";
inline constexpr std::string_view privacy_address_name = "privacy_policy";

// Every setting as (name, value), in the map's order, UTF-8.
std::vector<std::pair<std::string, std::string>> settings_lines(const settings_values& values);

// Every setting's name with the values it takes, one line each, for help text.
std::vector<std::string> settings_help_lines();

// Sets one setting from its text; the error message when the name is unknown
// or the value is not one the setting takes (then nothing changes).
std::optional<std::string> set_setting(settings_values& values, std::string_view name, std::string_view value);

// "name=value" (spaces around either side allowed), as given on a command line.
std::optional<std::string> set_setting_assignment(settings_values& values, std::string_view assignment);

// Applies every line of a settings file: "name = value" lines, blank lines and
// lines starting with '#'. The error names the line; then `values` is unchanged.
std::optional<std::string> apply_settings_text(settings_values& values, std::string_view text);

}  // namespace deployment
