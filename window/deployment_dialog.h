#pragma once
// The program's main window: the package row, the tree of pages and the
// frame that hosts them, the consent line, the version label and the
// "Generate MST File" button. It owns the four pages for its whole life and
// the package of the current choice.
#include "dialog/afxwin.h"

#include <memory>
#include <string>
#include <vector>

class installer_package;
class installation_options_dialog_controller;
class print_settings_dialog_controller;
class imanage_dialog_controller;
class quorlin_ai_dialog_controller;

namespace deployment {
struct settings_values;
enum class reading;
}  // namespace deployment

class CQuorlin_EnterpriseDeploymentDlg : public CDialog {
public:
    explicit CQuorlin_EnterpriseDeploymentDlg(CWnd* parent = nullptr);
    ~CQuorlin_EnterpriseDeploymentDlg() override;

    // The package of the current choice: none before the first choice and
    // after a choice whose values could not be read (see OnBrowse).
    std::unique_ptr<installer_package> package;
    HICON app_icon = nullptr;

    installation_options_dialog_controller* general_page = nullptr;
    print_settings_dialog_controller* print_page = nullptr;
    imanage_dialog_controller* imanage_page = nullptr;
    quorlin_ai_dialog_controller* help_page = nullptr;
    HTREEITEM general_item = nullptr;

    std::u16string msi_path;
    std::u16string product_name;

    CTreeCtrl tree;
    CStatic page_frame;
    CStatic version_label;
    CButton generate_button;
    CButton consent_check;
    CStatic consent_static;
    CLinkCtrl agreement_link;

    // Every created page, in creation (and tree) order.
    std::vector<CWnd*> pages;

    // Switches between the state without a package and the loaded state.
    void enable_package_controls(bool enable);

    // Consent line: the address of link `link_index` from `url`, or else from
    // the href of the package's own hyperlink markup in `control_text`.
    bool set_agreement_link(const std::u16string& url, int link_index, const std::u16string& control_text);

    // A package given on the command line, opened as soon as the window is
    // initialised, as if it had been chosen with "Browse...".
    std::u16string package_to_open;

    // Opens `path` and fills the pages from it: the load behind "Browse...".
    void open_package(const std::u16string& path);

    // "#0" or "unset": an integration the package does not switch off.
    bool read_integration_enabled(const std::u16string& property_name);

    // Handlers (message table).
    afx_msg void OnBrowse();
    afx_msg void OnGenerate();
    afx_msg void show_selected_page(NMHDR* notify, LRESULT* result);
    afx_msg void open_agreement_link(NMHDR* notify, LRESULT* result);
    afx_msg void on_consent_clicked();
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;

    DECLARE_MESSAGE_MAP()

private:
    HTREEITEM create_page(CDialog* page, UINT template_id, const std::u16string& label);
    void show_version();
    // Selects the tree item whose parameter is `page`, which brings it forward.
    void select_page(CWnd* page);
    // The pages' settings as plain values, and back into the pages' fields
    // and lists (the controls follow with the next push).
    deployment::settings_values page_values() const;
    void set_page_values(const deployment::settings_values& values);
    // Reads every value of the chosen package into the pages; false (after
    // telling the administrator) when the package could not be read.
    bool load_package_values(deployment::reading how);
    // Offers the earlier transform beside the package; true when its
    // settings are to be read from the working copy.
    bool continue_from_earlier_transform();
    void tell_settings_coverage();
    // Writes the pages' values into the working copy and generates the transform.
    void write_package_values();

    std::unique_ptr<installation_options_dialog_controller> general_page_owner_;
    std::unique_ptr<print_settings_dialog_controller> print_page_owner_;
    std::unique_ptr<imanage_dialog_controller> imanage_page_owner_;
    std::unique_ptr<quorlin_ai_dialog_controller> help_page_owner_;
    // A package was chosen at least once (so "Generate" has something to report).
    bool package_chosen_ = false;
};
