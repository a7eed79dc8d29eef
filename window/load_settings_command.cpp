// "Browse...": choose a package, open it, and fill the pages from its values
// by the read side of the settings map.
#include "installer/installer_package.h"
#include "pages/imanage_dialog_controller.h"
#include "window/deployment_dialog.h"
#include "window/deployment_settings_map.h"
#include "window/package_messages.h"

#include "msi/automation_error.h"
#include "system/text_conversion.h"

#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

using deployment::missing_gives;
using deployment::package_table;
using deployment::read_rule;

// Everything a load takes from the package, gathered before any field is
// touched, so that a package that cannot be read changes nothing.
struct package_values {
    std::u16string product_name;
    std::vector<std::optional<int>> checks;            // per map row
    std::vector<std::optional<std::u16string>> texts;  // per map row
    std::u16string terms_text, terms_url, privacy_text, privacy_url;
};

std::u16string read_value(installer_package& package, package_table table,
                          const std::u16string& name) {
    switch (table) {
    case package_table::property: return package.read_property(name);
    case package_table::registry: return package.read_registry_value(name);
    case package_table::control: return package.read_control_text(name);
    case package_table::none: break;
    }
    return {};
}

int missing_check(missing_gives missing) { return missing == missing_gives::checked ? 1 : 0; }

}  // namespace

bool CQuorlin_EnterpriseDeploymentDlg::read_integration_enabled(const std::u16string& property_name) {
    const std::u16string value = package->read_property(property_name);
    return value == u"#0" || value == u"unset";
}

void CQuorlin_EnterpriseDeploymentDlg::OnBrowse() {
    CFileDialog dialog(TRUE, u"msi", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                       u"MSI Files (*.msi)|*.msi|All Files (*.*)|*.*|", nullptr, 0, TRUE);
    if (dialog.DoModal() != IDOK) return;
    const std::u16string path = dialog.GetPathName();

    // The old package (and its working copy) goes before the new one is made.
    package.reset();
    package_chosen_ = true;
    package = std::make_unique<installer_package>(path);
    if (!package->is_open()) {
        show_opening_outcome(package->opening(), package->failure_text());
        AfxMessageBox(u"Unable to open MSI file\n" + path, MB_ICONERROR);
        return;
    }

    if (!load_package_values()) return;
    msi_path = path;

    UpdateData(FALSE);
    for (CWnd* page : pages) static_cast<CDialog*>(page)->UpdateData(FALSE);
    imanage_page->on_imanage_enabled_clicked();
    enable_package_controls(true);
}

// A package whose tables cannot be read (a damaged table, an engine error)
// is dropped: its working copy is deleted and the window keeps what it
// showed before the choice. "Generate MST File" then reports that no
// transform was created, as after a package that did not open.
bool CQuorlin_EnterpriseDeploymentDlg::load_package_values() {
    const auto map = deployment::deployment_settings_map();
    package_values values;
    values.checks.resize(map.size());
    values.texts.resize(map.size());

    try {
        values.product_name = package->read_property(u"ProductName");

        std::map<std::string_view, int> read_checks;
        for (std::size_t i = 0; i < map.size(); ++i) {
            const auto& read = map[i].read;
            const std::u16string name(read.name);
            switch (read.rule) {
            case read_rule::none:
                break;
            case read_rule::always_checked:
                values.checks[i] = 1;
                break;
            case read_rule::text_if_gate_checked:
                if (read_checks[map[i].gate] == 1) values.texts[i] = read_value(*package, read.table, name);
                break;
            case read_rule::checked_if_integration_on:
                values.checks[i] = read_integration_enabled(name) ? 1 : 0;
                break;
            default: {
                const std::u16string value = read_value(*package, read.table, name);
                values.checks[i] = value.empty() ? missing_check(read.missing)
                                                 : (deployment::is_checked(read.rule, value) ? 1 : 0);
                break;
            }
            }
            if (values.checks[i]) read_checks[map[i].setting] = *values.checks[i];
        }

        values.terms_text = package->read_control_text(u"TermsAndConditionsAgreement");
        values.terms_url = package->read_property(u"TOS_URL");
        values.privacy_text = package->read_control_text(u"PrivacyPolicyAgreement");
        values.privacy_url = package->read_property(u"PP_URL");
    } catch (const std::exception& error) {
        // Engine errors (msi::automation_error) and anything else the reads raise.
        package.reset();
        AfxMessageBox(u"Unable to read the MSI file.\n" + sys::utf8_to_utf16(error.what()), MB_ICONERROR);
        return false;
    }

    product_name = values.product_name;
    const deployment::settings_pages fields = settings_pages();
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (values.checks[i] && map[i].check) map[i].check(fields) = *values.checks[i];
        if (values.texts[i] && map[i].text) map[i].text(fields) = *values.texts[i];
    }
    set_agreement_link(values.terms_url, 0, values.terms_text);
    set_agreement_link(values.privacy_url, 1, values.privacy_text);
    return true;
}
