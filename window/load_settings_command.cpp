// "Browse...": choose a package, open it, and fill the pages from its values
// by the read side of the settings map.
#include "installer/deployment_settings.h"
#include "installer/installer_package.h"
#include "pages/imanage_dialog_controller.h"
#include "window/deployment_dialog.h"
#include "window/package_messages.h"

#include "system/text_conversion.h"

#include <filesystem>
#include <stdexcept>

namespace {

std::u16string one_line(std::u16string text) {
    for (char16_t& c : text)
        if (c == u'\n' || c == u'\r') c = u' ';
    return text;
}

}  // namespace

bool CQuorlin_EnterpriseDeploymentDlg::read_integration_enabled(const std::u16string& property_name) {
    const std::u16string value = package->read_property(property_name);
    return value == u"#0" || value == u"unset";
}

void CQuorlin_EnterpriseDeploymentDlg::OnBrowse() {
    CFileDialog dialog(TRUE, u"msi", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                       u"MSI Files (*.msi)|*.msi|All Files (*.*)|*.*|", nullptr, 0, TRUE);
    if (dialog.DoModal() != IDOK) return;
    open_package(dialog.GetPathName());
}

void CQuorlin_EnterpriseDeploymentDlg::open_package(const std::u16string& path) {
    // The old package (and its working copy) goes before the new one is made.
    package.reset();
    package_chosen_ = true;
    package = std::make_unique<installer_package>(path);
    if (!package->is_open()) {
        show_opening_outcome(package->opening(), package->failure_text(), package->open_reason());
        AfxMessageBox(u"Unable to open MSI file\n" + path, MB_ICONERROR);
        return;
    }
    if (package->copy_elsewhere())
        AfxMessageBox(u"The package's folder cannot be written, so its working copy is kept in\n" +
                          package->working_copy() + u"\n\n\"Generate MST File\" will ask where to save the transform.",
                      MB_ICONINFORMATION);

    deployment::reading how = deployment::reading::package_defaults;
    if (continue_from_earlier_transform()) how = deployment::reading::as_written;
    if (!package || !package->is_open()) return;

    if (!load_package_values(how)) return;
    msi_path = path;

    UpdateData(FALSE);
    for (CWnd* page : pages) static_cast<CDialog*>(page)->UpdateData(FALSE);
    imanage_page->on_imanage_enabled_clicked();
    enable_package_controls(true);
    tell_settings_coverage();
}

// Another product's package loads like any other, every option at its
// default; the administrator learns here, not from an empty transform, which
// options cannot change it.
void CQuorlin_EnterpriseDeploymentDlg::tell_settings_coverage() {
    std::string note;
    try {
        note = deployment::coverage_message(deployment::settings_coverage(package->values()));
    } catch (const std::exception&) {
        return;  // the reads succeeded a moment ago; a failure now says nothing about coverage
    }
    if (!note.empty()) AfxMessageBox(sys::utf8_to_utf16(note), MB_ICONINFORMATION);
}

// When the transform this window would write is already beside the package,
// the administrator may start from its settings. True when it was applied to
// the working copy; after a transform that does not fit or does not apply,
// the working copy is made afresh and false is returned.
bool CQuorlin_EnterpriseDeploymentDlg::continue_from_earlier_transform() {
    const std::u16string transform = package->transform_path();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(sys::to_fs_path(transform), ec)) return false;
    std::u16string misfit;
    try {
        for (const auto& sentence : package->transform_misfits(transform))
            misfit += u" " + sys::utf8_to_utf16(sentence);
    } catch (const std::exception& error) {
        misfit = u" " + sys::utf8_to_utf16(error.what());
    }
    std::u16string question = u"A transform for this package already exists:\n" + transform;
    if (!misfit.empty()) question += u"\n\nIt was made for another product or version:" + one_line(misfit);
    question += u"\n\nLoad its settings instead of the package's defaults?";
    // Only Yes loads it: No, Escape and the close box keep the package's own values.
    if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    try {
        package->apply_transform(transform, misfit.empty());
        return true;
    } catch (const std::exception& error) {
        const std::u16string path = package->path();
        package.reset();
        package = std::make_unique<installer_package>(path);
        AfxMessageBox(u"The transform's settings were not loaded: " + one_line(sys::utf8_to_utf16(error.what())),
                      MB_ICONERROR);
        if (!package->is_open()) {
            show_opening_outcome(package->opening(), package->failure_text(), package->open_reason());
            AfxMessageBox(u"Unable to open MSI file\n" + path, MB_ICONERROR);
        }
        return false;
    }
}

// A package whose tables cannot be read (a damaged table, an engine error)
// is dropped: its working copy is deleted and the window keeps what it
// showed before the choice. "Generate MST File" then reports that no
// transform was created, as after a package that did not open.
bool CQuorlin_EnterpriseDeploymentDlg::load_package_values(deployment::reading how) {
    deployment::settings_values values = page_values();
    deployment::package_extras extras;
    try {
        extras = deployment::read_settings(package->values(), how, values);
    } catch (const std::exception& error) {
        // Engine errors (msi::automation_error) and anything else the reads raise.
        package.reset();
        AfxMessageBox(u"Unable to read the MSI file.\n" + sys::utf8_to_utf16(error.what()), MB_ICONERROR);
        return false;
    }

    product_name = extras.product_name;
    set_page_values(values);
    set_agreement_link(extras.terms_url, 0, extras.terms_text);
    set_agreement_link(extras.privacy_url, 1, extras.privacy_text);
    return true;
}
