#pragma once
// The "General" page: installation options, remote storage integrations,
// Azure labeling and the language the installed application starts in.
#include "dialog/afxwin.h"
#include "installer/settings_values.h"
#include "pages/escape_closes_window.h"
#include "resources/resource.h"

#include <map>
#include <string>

// The settings (0 = unchecked, 1 = checked) are the fields of
// general_page_settings; the settings map says which check box shows each.
class installation_options_dialog_controller : public CDialogEx, public deployment::general_page_settings {
public:
    enum { IDD = IDD_INSTALLATION_OPTIONS };

    explicit installation_options_dialog_controller(CWnd* parent = nullptr);

    // Switches the page and its options; Force Login only while labeling is on.
    void enable_controls(bool enable);
    // The e-signature option follows its own rule (the product), apart from the rest.
    void enable_sign_integration_control(bool enable);
    // The chosen language's code; the default language's when nothing is chosen.
    std::u16string selected_language_code() const;
    // Selects the entry with that code; false (and no change) for a code the
    // list does not hold.
    bool select_language_code(const std::u16string& code);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override { hand_escape_to(m_pParentWnd); }

    afx_msg void on_azure_labeling_clicked();

    DECLARE_MESSAGE_MAP()

private:
    CButton& check_box(int control) { return check_boxes_[control]; }

    // Bound wrappers of the check boxes, by control identifier.
    std::map<int, CButton> check_boxes_;
    CComboBox language_list;
    CButton installation_options_group;
};
