// "Generate MST File": write the pages' values into the working copy by the
// write side of the settings map, then have the package write the transform.
#include "installer/deployment_settings.h"
#include "installer/installer_package.h"
#include "pages/imanage_dialog_controller.h"
#include "window/deployment_dialog.h"
#include "window/package_messages.h"
#include "system/text_conversion.h"
#include "system/user_folders.h"

#include <stdexcept>

namespace {

constexpr char16_t not_created[] = u"Error, transform file was not created.";

}  // namespace

void CQuorlin_EnterpriseDeploymentDlg::OnGenerate() {
    if (!package) {
        // Nothing chosen yet (the button is disabled then), or the last
        // choice could not be read and was dropped.
        if (package_chosen_) AfxMessageBox(not_created, MB_ICONERROR);
        return;
    }
    if (!package->is_open()) {
        AfxMessageBox(not_created, MB_ICONERROR);
        return;
    }

    UpdateData(TRUE);
    for (CWnd* page : pages) static_cast<CDialog*>(page)->UpdateData(TRUE);

    try {
        write_package_values();
    } catch (const std::exception& error) {
        // Writes made so far stay in the working copy; the package stays open
        // and the administrator can correct a value and generate again.
        AfxMessageBox(u"Unable to write the MSI file.\n" + sys::utf8_to_utf16(error.what()), MB_ICONERROR);
    }
}

void CQuorlin_EnterpriseDeploymentDlg::write_package_values() {
    deployment::settings_values values = page_values();
    const auto outcome = deployment::write_settings(package->values(), values, product_name);
    // The page trims the path and shows it trimmed, as the map wrote it; for
    // an empty path it shows the tip, which must then be shown again once the
    // page is in front. Nothing more is written.
    if (outcome == deployment::write_outcome::imanage_path_missing) {
        imanage_page->validate_install_path();
        select_page(imanage_page);
        imanage_page->validate_install_path();
        return;
    }
    imanage_page->validate_install_path();
    std::u16string target = package->transform_path();
    if (!sys::folder_writable(sys::to_fs_path(target).parent_path())) {
        // A read-only share: the administrator says where the transform goes,
        // starting in their documents folder under the usual name.
        const auto suggested = sys::documents_folder() / sys::to_fs_path(target).filename();
        CFileDialog dialog(FALSE, u"mst", sys::from_fs_path(suggested).c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                           u"MST Files (*.mst)|*.mst|All Files (*.*)|*.*|", this, 0, TRUE);
        if (dialog.DoModal() != IDOK) return;
        target = dialog.GetPathName();
    }
    const auto generated = package->generate_transform(target);
    show_transform_outcome(generated, target, package->failure_text());
}
