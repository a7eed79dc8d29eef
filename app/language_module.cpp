#include "app/language_module.h"

#include "dialog/resource_access.h"
#include "system/system_locale.h"
#include "system/text_conversion.h"

#include <algorithm>
#include <array>
#include <string_view>

#ifndef QUORLIN_INSTALLED_MODULE_DIR
#define QUORLIN_INSTALLED_MODULE_DIR ""
#endif

namespace {

// Languages the program is translated into; English is built in.
constexpr std::array<std::string_view, 7> known_languages{"EN", "DE", "ES", "FR", "IT", "NL", "SK"};

// An installed program keeps its modules under the library folder rather
// than beside the executable; the path is relative to the executable's folder.
sys::module_handle load_installed_module(const std::u16string& relative_path) {
    const std::u16string installed_dir = sys::utf8_to_utf16(QUORLIN_INSTALLED_MODULE_DIR);
    if (installed_dir.empty()) return nullptr;
    const auto file = sys::executable_dir() / sys::to_fs_path(installed_dir) / sys::to_fs_path(relative_path);
    return sys::LoadLibraryW(sys::from_fs_path(file));
}

}  // namespace

std::string system_language_code() { return sys::system_language_code(); }

std::u16string language_module_path(const std::string& code, const std::u16string& application_name) {
    const std::u16string wide_code = sys::utf8_to_utf16(code);
    return u"lang/" + wide_code + u"/" + application_name + wide_code + u".so";
}

sys::module_handle load_language_module(const std::u16string& application_name) {
    const std::string code = system_language_code();
    if (std::ranges::find(known_languages, code) == known_languages.end()) return nullptr;
    if (code == "EN") return nullptr;

    const std::u16string path = language_module_path(code, application_name);
    // Beside the executable first, then where an installation puts it; never
    // from the current folder.
    sys::module_handle module = sys::LoadLibraryW(path);
    if (!module) module = load_installed_module(path);
    if (!module) return nullptr;

    auto entry = reinterpret_cast<resource_source_entry>(sys::GetProcAddress(module, resource_source_entry_name));
    const resource_source* source = entry ? entry() : nullptr;
    if (!source) {
        // A library without the resources is no language module.
        sys::FreeLibrary(module);
        return nullptr;
    }
    AfxSetResourceHandle(source);
    return module;
}
