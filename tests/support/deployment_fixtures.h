#pragma once
// Packages for the main window's tests, built by msibuild: two that carry
// every value the window reads (with opposite outcomes for each setting),
// one without Registry and Control tables, one whose Control table cannot
// be queried, and plain values for the oracle's view of them.
#include "installer/settings_values.h"

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace window_test {

using value_map = std::map<std::string, std::string>;

// Property rows of the first package ("Quorlin PDF Pro").
value_map pro_package_properties();
// Registry rows (by Name) of the first package.
value_map pro_package_registry();

void build_pro_package(const std::filesystem::path& out);
// Same names, every setting read the other way; ProductName without "Pro".
void build_plain_package(const std::filesystem::path& out);
// A "Pro" package whose every written name holds something other than what
// a generation with sign integration off, printer driver and crash
// reporting on and "Default Settings" writes, so that each write shows.
value_map contrary_package_properties();
value_map contrary_package_registry();
void build_contrary_package(const std::filesystem::path& out);
// Property table only.
void build_package_without_registry_and_control(const std::filesystem::path& out);
// A Control table without a Text column: reading an agreement fails in the engine.
void build_package_with_unreadable_control(const std::filesystem::path& out);
// A Registry table whose Value column holds integers: it reads, but the
// engine refuses the switch text written into it.
void build_package_with_integer_registry_values(const std::filesystem::path& out);

// Property and Registry values as Wine's installer sees them (the oracle),
// optionally after applying a transform.
struct package_view {
    value_map properties;
    value_map registry;        // by Name
    std::string other_tables;  // the dump of every other table, for "unchanged" checks
};
package_view oracle_view(const std::filesystem::path& package, const std::filesystem::path& transform = {});

// The oracle's view of `package` once the writes planned for `values` and
// `product_name` are made: each planned value laid over the name the package
// holds (a name it lacks stays absent). The planned writes themselves are
// checked against their table once, in the settings map's tests.
package_view expected_after_writing(const std::filesystem::path& package, deployment::settings_values values,
                                    std::u16string_view product_name);

}  // namespace window_test
