#pragma once
// Applying a transform to a database as the installer does: schema changes
// (tables added and dropped, columns appended), then each table's records
// (removals, additions, updates of the masked columns), binary cells from the
// transform's own streams, and a change of code page. Every change is first
// made on copies (the string pool, the catalog, the tables the transform
// names); only when the whole transform has gone through do the copies
// replace the database's own, so a failure leaves the database as it was.
// Like any other change, the result reaches the file at commit.
#include "msi/automation_error.h"

#include <filesystem>
#include <string>
#include <vector>

namespace msi {

class package_database;

// The error conditions a transform can meet, by their flag.
inline constexpr int transform_error_add_existing_row = 0x0001;
inline constexpr int transform_error_delete_missing_row = 0x0002;
inline constexpr int transform_error_add_existing_table = 0x0004;
inline constexpr int transform_error_delete_missing_table = 0x0008;
inline constexpr int transform_error_update_missing_row = 0x0010;
inline constexpr int transform_error_change_code_page = 0x0020;
inline constexpr int transform_error_view_transform = 0x0100;

// "MSITRANSFORM_ERROR_ADDEXISTINGROW" and so on; "" for an unknown flag.
const char* transform_condition_name(int flag);
// The names of the flags set in `conditions`, in flag order.
std::vector<std::string> transform_condition_names(int conditions);

// Applies the transform at `path`, with the conditions set in `suppressed`
// passed over: a row added that exists replaces it, a removal or update of a
// missing row and a removal of a missing table are skipped, a table added
// that exists keeps its rows, and a code page that differs replaces the
// database's. Raises transform_condition_error for a condition not
// suppressed, automation_error for a transform that cannot be read or does
// not fit the database's tables; either way the database is unchanged.
void apply_transform(package_database& db, const std::filesystem::path& path, int suppressed);

}  // namespace msi
