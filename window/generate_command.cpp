// "Generate MST File": write the pages' values into the working copy by the
// write side of the settings map, then have the package write the transform.
#include "installer/installer_package.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "window/deployment_dialog.h"
#include "window/deployment_settings_map.h"
#include "window/package_messages.h"
#include "system/text_conversion.h"

#include <optional>
#include <stdexcept>

namespace {

using deployment::package_table;
using deployment::write_condition;
using deployment::write_form;

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
    const deployment::settings_pages fields = settings_pages();
    bool imanage_checked = false;
    std::optional<int> print_profile;  // asked once, when first needed

    for (const auto& [row, write] : deployment::writes_in_order()) {
        if (write->condition == write_condition::after_imanage_check && !imanage_checked) {
            if (!imanage_page->validate_install_path()) {
                // The tip was shown on a page that may be hidden: bring the
                // page forward and show it again there. Nothing more is written.
                select_page(imanage_page);
                imanage_page->validate_install_path();
                return;
            }
            imanage_checked = true;
        }
        if (write->condition == write_condition::product_is_pro &&
            !deployment::is_pro_product(product_name))
            continue;

        const std::u16string name(write->name);
        std::u16string text;
        switch (write->form) {
        case write_form::constant:
            text = std::u16string(write->constant);
            break;
        case write_form::plain_flag:
        case write_form::inverted_integer:
        case write_form::integer:
        case write_form::switch_text:
            text = deployment::flag_text(write->form, row->check(fields));
            break;
        case write_form::language_code:
            text = general_page->selected_language_code();
            break;
        case write_form::text_if_gate_checked_else_zero: {
            const auto* gate = deployment::find_setting(row->gate);
            text = gate->check(fields) != 0 ? row->text(fields) : u"0";
            break;
        }
        case write_form::print_number:
            if (!print_profile) print_profile = print_page->selected_print_profile();
            package->set_registry_number(name, *print_profile == print_settings_dialog_controller::pcl_optimized_profile
                                                   ? write->pcl_number
                                                   : write->default_number);
            continue;
        }

        if (write->table == package_table::registry)
            package->set_registry_value(name, text);
        else
            package->set_property(name, text);
    }

    const auto outcome = package->generate_transform();
    show_transform_outcome(outcome, package->transform_path(), package->failure_text());
}
