#pragma once
// What a transform's summary information says about the package it was made
// for, and the checks the installer makes before applying it: language,
// product code, platform, upgrade code and the version relation its
// validation flags ask for.
#include "msi/db/summary_information.h"

#include <string>
#include <vector>

namespace msi {

class package_database;

// Validation flags (the high word of a transform's character count).
inline constexpr int transform_validate_language = 0x0001;
inline constexpr int transform_validate_product = 0x0002;
inline constexpr int transform_validate_platform = 0x0004;
inline constexpr int transform_validate_major_version = 0x0008;
inline constexpr int transform_validate_minor_version = 0x0010;
inline constexpr int transform_validate_update_version = 0x0020;
inline constexpr int transform_validate_less = 0x0040;
inline constexpr int transform_validate_less_or_equal = 0x0080;
inline constexpr int transform_validate_equal = 0x0100;
inline constexpr int transform_validate_greater_or_equal = 0x0200;
inline constexpr int transform_validate_greater = 0x0400;
inline constexpr int transform_validate_upgrade_code = 0x0800;

// "MSITRANSFORM_VALIDATE_LANGUAGE" and so on, for the flags set.
std::vector<std::string> transform_validation_names(int validation);

struct transform_identity {
    std::string base_platform;               // from the template: "Intel", "x64", ... ("" when blank)
    std::string base_language;               // "1033"; "" or "0" for any language
    std::string new_platform, new_language;  // from Last Saved By
    std::string base_product_code, base_version;
    std::string new_product_code, new_version;
    std::string upgrade_code;
    bool has_flags = false;    // the character count was there
    int error_conditions = 0;  // its low word
    int validation = 0;        // its high word
};

// Reads the identity from a transform's summary information (UTF-8 text).
transform_identity read_transform_identity(const summary_information& summary);

// The checks `validation` asks for, of the transform described by `identity`
// against the package: one sentence per failed check, empty when it fits.
std::vector<std::string> validate_transform(package_database& package, const transform_identity& identity,
                                            int validation);

}  // namespace msi
