#include "system/loadable_module.h"

#include "system/text_conversion.h"

#include <dlfcn.h>
#include <link.h>

namespace sys {

std::filesystem::path executable_dir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

module_handle LoadLibraryW(const std::u16string& path) {
    std::string text = to_fs_path(path).native();
    for (auto& c : text)
        if (c == '\\') c = '/';
    const std::filesystem::path file(text);
    if (file.empty()) return nullptr;
    if (file.is_relative()) {
        // Only beside the executable: the current folder may be a shared one
        // that others can write to, and a bare name would send dlopen through
        // the library search path.
        const auto dir = executable_dir();
        if (dir.empty() || dir.is_relative()) return nullptr;
        return ::dlopen((dir / file).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(module_handle module, const char* name) { return module ? ::dlsym(module, name) : nullptr; }

bool FreeLibrary(module_handle module) { return module && ::dlclose(module) == 0; }

std::filesystem::path module_file(module_handle module) {
    link_map* map = nullptr;
    if (!module || ::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
    return map->l_name;
}

}  // namespace sys
