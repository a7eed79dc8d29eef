#include "commands.h"

#include "msi/automation.h"
#include "msi/db/code_page.h"
#include "msi/transform/apply.h"
#include "msi/transform/reader.h"
#include "msi/transform/validation.h"
#include "system/text_conversion.h"

#include <iostream>

namespace msi_transform {

// Status 0 when the transform fits the package and applies with the error
// conditions it suppresses itself; 1 with one line per reason when not.
int check_command(const std::vector<std::string>& args) {
    if (args.size() != 2) throw usage_error{"check needs PACKAGE.msi TRANSFORM.mst"};
    const std::u16string transform = sys::utf8_to_utf16(args[1]);
    const auto identity = msi::read_transform_identity(msi::transform_reader(args[1]).summary());
    msi::Installer installer;
    auto db = installer.OpenDatabase(sys::utf8_to_utf16(args[0]), msi::msiOpenDatabaseModeReadOnly);
    std::vector<std::string> reasons = db->ValidateTransform(transform);
    try {
        // Opened read-only: the trial is never committed.
        db->ApplyTransform(transform, identity.error_conditions);
    } catch (const msi::transform_misfit_error& e) {
        reasons.push_back(e.what());
    }
    for (const auto& r : reasons) std::cout << r << "\n";
    if (!reasons.empty()) return 1;
    std::cout << "The transform fits the package and applies.\n";
    return 0;
}

}  // namespace msi_transform
