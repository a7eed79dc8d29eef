#include "window/package_messages.h"

#include "dialog/ui_services.h"

void show_opening_outcome(installer_package::open_outcome outcome, const std::u16string& engine_text) {
    using enum installer_package::open_outcome;
    switch (outcome) {
    case opened: break;
    case no_installer: AfxMessageBox(u"Creation of Windows installer object failed.", 0); break;
    case package_in_use: AfxMessageBox(u"MSI file may be opened in another application.", MB_ICONERROR); break;
    case package_not_opened: AfxMessageBox(u"Opening database failed.", MB_ICONERROR); break;
    case copy_not_opened: AfxMessageBox(u"Opening temporary database failed.", 0); break;
    case code_page_unsupported: AfxMessageBox(engine_text, MB_ICONERROR); break;
    }
}

void show_transform_outcome(installer_package::transform_outcome outcome, const std::u16string& transform_path,
                            const std::u16string& engine_text) {
    using enum installer_package::transform_outcome;
    switch (outcome) {
    case created: AfxMessageBox(u"MST file was created successfully in\n" + transform_path, MB_ICONINFORMATION); break;
    case failed:
        AfxMessageBox(u"Unable to create the transform file." + (engine_text.empty() ? u"" : u"\n" + engine_text),
                      MB_ICONERROR);
        break;
    case file_changed: AfxMessageBox(engine_text, MB_ICONERROR); break;
    }
}
