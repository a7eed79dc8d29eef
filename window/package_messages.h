#pragma once
// What the window tells the administrator about an installer_package's
// outcomes: the message boxes of opening a package and of writing its
// transform, with their texts and icons.
#include "installer/installer_package.h"

#include <string>

// Shows the message of a failed opening step; nothing for an opened package.
// `engine_text` is the package's failure_text, shown for the outcomes that
// have one; `reason` (the package's open_reason) goes beneath the message.
void show_opening_outcome(installer_package::open_outcome outcome, const std::u16string& engine_text = {},
                          const std::u16string& reason = {});
// Shows where the transform went, or that it could not be written and why
// (`engine_text`, the package's failure_text).
void show_transform_outcome(installer_package::transform_outcome outcome, const std::u16string& transform_path,
                            const std::u16string& engine_text = {});
