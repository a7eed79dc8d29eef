#include "window/package_messages.h"

#include "dialog/ui_services.h"

namespace {

// A fixed message with the cause beneath it, when the cause is known.
std::u16string with_reason(const std::u16string& message, const std::u16string& reason) {
    return reason.empty() ? message : message + u"\n\n" + reason;
}

}  // namespace

void show_opening_outcome(installer_package::open_outcome outcome, const std::u16string& engine_text,
                          const std::u16string& reason) {
    using enum installer_package::open_outcome;
    switch (outcome) {
    case opened: break;
    case no_installer: AfxMessageBox(u"Creation of Windows installer object failed.", 0); break;
    case package_in_use:
        AfxMessageBox(with_reason(u"MSI file may be opened in another application.", reason), MB_ICONERROR);
        break;
    case package_not_opened: AfxMessageBox(with_reason(u"Opening database failed.", reason), MB_ICONERROR); break;
    case copy_not_opened: AfxMessageBox(with_reason(u"Opening temporary database failed.", reason), 0); break;
    case code_page_unsupported: AfxMessageBox(engine_text, MB_ICONERROR); break;
    }
}

void show_transform_outcome(installer_package::transform_outcome outcome, const std::u16string& transform_path,
                            const std::u16string& engine_text) {
    using enum installer_package::transform_outcome;
    switch (outcome) {
    case created: AfxMessageBox(u"MST file was created successfully in\n" + transform_path, MB_ICONINFORMATION); break;
    case failed: AfxMessageBox(with_reason(u"Unable to create the transform file.", engine_text), MB_ICONERROR); break;
    case file_changed: AfxMessageBox(engine_text, MB_ICONERROR); break;
    }
}
