#include "app/version_report.h"

#include "app/language_module.h"
#include "dialog/resource_access.h"
#include "resources/version.h"
#include "system/system_locale.h"
#include "system/text_conversion.h"

#include <filesystem>

std::string version_report(const std::u16string& application_name) {
    std::string report = sys::utf16_to_utf8(application_name) + " " + program_version + "\n";
    const std::string code = system_language_code();
    // The same lookup as at start-up; the module is released again at once.
    sys::module_handle module = load_language_module(application_name);
    if (module) {
        std::error_code ec;
        const auto file = std::filesystem::weakly_canonical(sys::module_file(module), ec);
        report += "Interface language: " + code + " (" + file.string() + ")\n";
        AfxSetResourceHandle(nullptr);
        sys::FreeLibrary(module);
    } else if (code == "EN") {
        report += "Interface language: EN (built in)\n";
    } else {
        report += "Interface language: EN (built in; no module for " + code + " found)\n";
    }
    const sys::chosen_locale locale = sys::interface_locale();
    if (locale.source.empty())
        report += "Locale: none set (English)\n";
    else
        report += "Locale: " + locale.locale + " (from " + locale.source + ")\n";
    return report;
}
