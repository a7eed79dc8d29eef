#pragma once
// The summary information of a transform that turns `reference` into
// `target`: descriptive texts and the base platform and language from the
// reference, the result's platform and language from the target, both
// product codes and versions, the apply-time error conditions and
// validation flags.
#include "msi/db/summary_information.h"

#include <cstdint>

namespace msi {

class package_database;

// The time a transform's summary gives as its creation and save time, the
// one clock every writer of transforms reads: SOURCE_DATE_EPOCH (seconds
// since 1970-01-01 UTC) when it is set, so that a build can reproduce a
// transform byte for byte; the current time otherwise. Raises
// automation_error (E_INVALIDARG) when SOURCE_DATE_EPOCH is set but is not
// such a number.
std::uint64_t transform_summary_time();

// Raises automation_error (hresult_from_win32(ERROR_INSTALL_PACKAGE_INVALID))
// when either database lacks ProductCode or ProductVersion in its Property
// table.
summary_information transform_summary(package_database& target, package_database& reference, int error_conditions,
                                      int validation, std::uint64_t now = transform_summary_time());

}  // namespace msi
