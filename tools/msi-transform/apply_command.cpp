#include "commands.h"
#include "file_clone.h"

#include "msi/automation.h"
#include "msi/db/code_page.h"
#include "msi/transform/reader.h"
#include "msi/transform/validation.h"
#include "system/same_file.h"
#include "system/text_conversion.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace msi_transform {

namespace fs = std::filesystem;

// OUT is made beside itself under a temporary name: the package is cloned
// into it, the transform applied and committed there, and only then is it
// renamed to OUT. PACKAGE and TRANSFORM are only read.
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
    if (error_conditions < 0)
        error_conditions = msi::read_transform_identity(msi::transform_reader(transform).summary()).error_conditions;

    std::string pattern = (out.has_parent_path() ? out.parent_path() / ("." + out.filename().string())
                                                 : fs::path("." + out.filename().string()))
                              .string() +
                          ".partial-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("cannot create a file beside " + out.string() + ": " + std::strerror(errno));
    const fs::path temporary(pattern);
    try {
        struct stat st {};
        if (::stat(package.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 0777);
        try {
            copy_into(package, fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
        {
            msi::Installer installer;
            auto db = installer.OpenDatabase(temporary, msi::msiOpenDatabaseModeTransact);
            db->ApplyTransform(transform, error_conditions);
            db->Commit();
        }
        const int sync = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        if (sync >= 0) {
            ::fsync(sync);
            ::close(sync);
        }
        fs::rename(temporary, out);
    } catch (...) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    return 0;
}

}  // namespace msi_transform
