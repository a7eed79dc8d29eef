#include "system/user_folders.h"

#include <cstdio>
#include <fcntl.h>
#include <cstdlib>
#include <string>
#include <sys/statvfs.h>
#include <unistd.h>

namespace sys {

namespace {

bool is_folder(const std::filesystem::path& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

std::filesystem::path home_folder() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) : std::filesystem::path("/");
}

// The output of xdg-user-dir, which knows the user's (translated) folder names.
std::filesystem::path xdg_user_dir(const char* which) {
    const std::string command = std::string("xdg-user-dir ") + which + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace

std::filesystem::path private_temporary_folder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && is_folder(runtime) && folder_writable(runtime))
        return runtime;
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec);
}

std::filesystem::path documents_folder() {
    // xdg-user-dir answers the home folder when no documents folder is set.
    if (auto documents = xdg_user_dir("DOCUMENTS"); is_folder(documents) && documents != home_folder())
        return documents;
    if (auto documents = home_folder() / "Documents"; is_folder(documents)) return documents;
    return home_folder();
}

bool folder_writable(const std::filesystem::path& folder) {
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return false;
    // Root passes the permission check on a read-only mount too.
    struct statvfs fs {};
    return ::statvfs(folder.c_str(), &fs) == 0 && !(fs.f_flag & ST_RDONLY);
}

}  // namespace sys
