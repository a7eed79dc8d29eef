#pragma once
// What each change of a transform means for a security review: whether it
// runs code at installation, changes the product's identity, touches the
// system, sets properties, changes the interface, or something else.
#include "transform_changes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msi {
struct transform_identity;
}

namespace msi_transform {

enum class change_class { runs_code, identity, system, properties, interface, other };

// Every class, in the order show lists them.
const std::vector<change_class>& change_classes();
// "runs-code", "identity", "system", "properties", "interface", "other".
const char* change_class_name(change_class c);
std::optional<change_class> parse_change_class(std::string_view name);

// One change as the audit lists it.
struct audited_change {
    change_class kind;
    std::string table;
    std::string what;  // "added [\"Key\"]", "table added", "new column X s72"...
};

// Every change of the tables, and the summary's change of the product code
// or version, each in its class, in the order show prints the tables.
std::vector<audited_change> audit_changes(const std::vector<table_changes>& tables,
                                          const msi::transform_identity& identity);

// "Table what", the line check and show print for a change.
std::string audited_change_line(const audited_change& c);

}  // namespace msi_transform
