#include "change_audit.h"
#include "commands.h"
#include "console.h"

#include "msi/automation.h"
#include "msi/inspection.h"
#include "system/text_conversion.h"

#include <set>

namespace msi_transform {
namespace {

// The classes named in "runs-code,identity".
std::set<change_class> denied_classes(const std::string& list) {
    std::set<change_class> out;
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const std::string name = list.substr(at, comma - at);
        auto c = parse_change_class(name);
        if (!c)
            throw usage_error{
                "--deny takes classes from runs-code, identity, system, properties, interface, other, "
                "not '" +
                name + "'"};
        out.insert(*c);
        at = comma + 1;
    }
    return out;
}

}  // namespace

// Status 0 when the transform fits the package, applies with the error
// conditions it suppresses itself and makes no change of a denied class; 1
// with one line per reason when not.
int check_command(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::set<change_class> denied;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--deny") {
            if (i + 1 >= args.size()) throw usage_error{"--deny needs classes, such as runs-code,identity"};
            denied.merge(denied_classes(args[++i]));
        } else if (args[i].rfind("--", 0) == 0) {
            throw usage_error{"unknown option " + args[i]};
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) throw usage_error{"check needs PACKAGE.msi TRANSFORM.mst"};
    const std::u16string transform = sys::utf8_to_utf16(files[1]);
    const msi::inspect::transform_file mst(files[1]);
    const auto& identity = mst.summary();
    msi::Installer installer;
    auto db = installer.OpenDatabase(sys::utf8_to_utf16(files[0]), msi::msiOpenDatabaseModeReadOnly);
    std::vector<std::string> reasons = db->ValidateTransform(transform);
    if (!denied.empty())
        for (const auto& change : audit_changes(mst.changes(db.get()), identity))
            if (denied.count(change.kind))
                reasons.push_back(std::string("denied ") + change_class_name(change.kind) + ": " +
                                  audited_change_line(change));
    try {
        // Opened read-only: the trial is never committed.
        db->ApplyTransform(transform, identity.error_conditions);
    } catch (const msi::transform_misfit_error& e) {
        reasons.push_back(e.what());
    }
    for (const auto& r : reasons) write_out(r + "\n");
    if (!reasons.empty()) return 1;
    write_out("The transform fits the package and applies.\n");
    return 0;
}

}  // namespace msi_transform
