#pragma once
// The "Print Settings" page: the default print behaviour or the one tuned
// for PCL drivers. The list itself holds the choice.
#include "dialog/afxwin.h"
#include "pages/escape_closes_window.h"
#include "resources/resource.h"

class print_settings_dialog_controller : public CDialogEx {
public:
    enum { IDD = IDD_PRINT_SETTINGS };

    // Indexes of the list's items.
    static constexpr int default_profile = 0;
    static constexpr int pcl_optimized_profile = 1;

    explicit print_settings_dialog_controller(CWnd* parent = nullptr);

    // The selected item's index, or -1 (CB_ERR) when nothing is selected.
    int selected_print_profile() const;
    // Selects the item with that index; any index but the PCL one selects
    // the default profile.
    void select_print_profile(int profile);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override { hand_escape_to(m_pParentWnd); }

private:
    CComboBox print_profile_list;
};
