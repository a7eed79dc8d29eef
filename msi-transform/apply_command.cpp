#include "commands.h"
#include "file_clone.h"

#include "msi/automation.h"
#include "msi/inspection.h"
#include "system/atomic_file.h"
#include "system/file_permissions.h"
#include "system/same_file.h"
#include "system/text_conversion.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>

namespace msi_transform {

namespace fs = std::filesystem;

// OUT is made as a new file beside itself: the package is cloned into it,
// the transform applied and committed there, and only then does it take
// OUT's place. PACKAGE and TRANSFORM are only read.
int apply_command(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    int error_conditions = -1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--error-conditions") {
            if (i + 1 >= args.size()) throw usage_error{a + " needs a number"};
            error_conditions = parse_number(a, args[++i]);
        } else if (a.rfind("--", 0) == 0) {
            throw usage_error{"unknown option " + a};
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 3) throw usage_error{"apply needs PACKAGE.msi TRANSFORM.mst OUT.msi"};
    const fs::path package(files[0]), transform(files[1]), out(files[2]);
    if (sys::same_file(out, package) || sys::same_file(out, transform))
        throw usage_error{"OUT must be another file than PACKAGE and TRANSFORM"};
    if (error_conditions < 0) error_conditions = msi::inspect::transform_file(transform).summary().error_conditions;

    struct stat source {};
    if (::stat(package.c_str(), &source) != 0)
        throw std::runtime_error("cannot read " + package.string() + ": " + std::strerror(errno));
    struct stat earlier {};
    const bool replacing = ::stat(out.c_str(), &earlier) == 0;
    try {
        sys::replace_file(out, [&](int fd) {
            // An applied package is read by no more people than the package:
            // a new OUT takes the package's group, one replaced keeps its own.
            struct stat made {};
            const int error =
                ::fstat(fd, &made) != 0
                    ? errno
                    : sys::give_owner_and_mode(fd, static_cast<uid_t>(-1), replacing ? made.st_gid : source.st_gid,
                                               made.st_mode & source.st_mode & 0777);
            if (error != 0) throw std::system_error(error, std::generic_category(), "cannot set its permissions");
            copy_into(package, fd);
            // The engine opens files by name; this one has none yet.
            msi::Installer installer;
            auto db = installer.OpenDatabase(fs::path("/proc/self/fd/" + std::to_string(fd)),
                                             msi::msiOpenDatabaseModeTransact);
            db->ApplyTransform(transform, error_conditions);
            db->Commit();
        });
    } catch (const std::exception& e) {
        throw std::runtime_error(sys::left_as_it_was(e.what(), out));
    }
    return 0;
}

}  // namespace msi_transform
