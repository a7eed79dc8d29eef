#pragma once
// The settings map at work, without a window: a package's values read into
// settings_values, and settings_values written into a package, by the rows of
// deployment_settings_map. The main window and the command-line job both go
// through here, so each setting means the same in both.
#include "installer/database_values.h"
#include "installer/settings_values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace deployment {

// How a package's values are read.
enum class reading {
    // The package's own defaults: each setting from the name and by the rule
    // the load command uses; the language and the print profile are not read.
    package_defaults,
    // Values this utility wrote (a transform applied): each setting from the
    // name and in the form it is written in, the language and the print
    // profile included. A name the package lacks, or a value in no written
    // form, is read as for package_defaults.
    as_written,
};

// Everything a load takes from a package besides the settings.
struct package_extras {
    std::u16string product_name;
    // The agreement links' sources: a property (an address) and the package's
    // own hyperlink markup, for terms of service and privacy policy.
    std::u16string terms_url, terms_text, privacy_url, privacy_text;
};

// Reads the package's settings into `values`, changing only what the
// reading sets (a setting that is not read keeps its value). Engine errors
// raise msi::automation_error; then `values` is unchanged.
package_extras read_settings(database_values& package, reading how, settings_values& values);

// Which settings can change this package: a setting has an effect when one
// of the names it is written to exists in the package.
struct package_coverage {
    bool holds_none = false;                  // not one name the map reads or writes exists
    std::vector<std::string> without_effect;  // settings with no name in the package, in map order
};
package_coverage settings_coverage(database_values& package);

// The administrator's sentence for a coverage: empty when every setting has
// an effect.
std::string coverage_message(const package_coverage& coverage);

enum class write_outcome {
    written,               // all twenty values written
    imanage_path_missing,  // stopped after W15: iManage is on and its path is empty
};

// One update of a package value.
struct value_write {
    enum class kind { property, registry_text, registry_number } type = kind::property;
    std::u16string name;
    std::u16string text;      // property and registry_text
    std::int32_t number = 0;  // registry_number
};

struct write_plan {
    std::vector<value_write> writes;  // in the order of writing
    write_outcome outcome = write_outcome::written;
};

// The updates that write `values`, in the order of the map, W1 to W20, and
// only W1 to W15 when the iManage path check fails. Before W16 the iManage
// path is trimmed of surrounding white space (in `values`) and checked.
write_plan plan_writes(settings_values& values, std::u16string_view product_name);

void apply_write(database_values& package, const value_write& write);

// plan_writes, then every planned update. A failing update raises
// msi::automation_error; what was written stays.
write_outcome write_settings(database_values& package, settings_values& values, std::u16string_view product_name);

// The iManage path as it is checked and written: without white space around it.
std::u16string trimmed_install_path(std::u16string_view path);

// The address an agreement link gets from a package: the property's value
// when there is one, else the text between `href="` and the next `">` of the
// markup; nothing when neither gives one.
std::optional<std::u16string> agreement_address(std::u16string_view url, std::u16string_view markup);
std::optional<std::u16string> href_from_markup(std::u16string_view markup);

}  // namespace deployment
