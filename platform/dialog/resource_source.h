#pragma once
// Resources by identifier: dialog templates, string-table entries and icons.
// The program's own resources are one source; a language module hands over
// another with the same identifiers, which then replaces the first as a whole.
#include "dialog_template.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct icon_image {
    int size;                           // square, in pixels
    std::span<const std::uint8_t> png;  // PNG file bytes
};

class resource_source {
public:
    virtual ~resource_source() = default;
    virtual const dialog_template* find_dialog(int id) const = 0;  // null when absent
    virtual std::optional<std::u16string> find_string(int id) const = 0;
    virtual std::vector<icon_image> find_icon(int id) const = 0;  // empty when absent
};

// A language module is a shared library that exports this function.
extern "C" {
using resource_source_entry = const resource_source* (*)();
}
inline constexpr const char* resource_source_entry_name = "dialog_resource_source";

// The source every window loads from (AfxSetResourceHandle replaces it).
const resource_source& current_resource_source();
void set_resource_source(const resource_source* source);  // null restores the program's own
void set_program_resource_source(const resource_source* source);
