#pragma once
// What each change of a transform means for a security review: whether it
// runs code at installation, changes the product's identity, touches the
// system, sets properties, changes the interface, or something else.
#include "msi/inspection.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msi_transform {

// The engine's account of a transform's changes, as the tool's commands use it.
using msi::inspect::key_words;
using msi::inspect::plain_value;
using msi::inspect::row_change;
using msi::inspect::table_changes;
using msi::inspect::value;

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
                                          const msi::inspect::transform_summary& identity);

// "Table what", the line check and show print for a change.
std::string audited_change_line(const audited_change& c);

}  // namespace msi_transform
