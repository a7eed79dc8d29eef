#include "pages/print_settings_dialog_controller.h"

print_settings_dialog_controller::print_settings_dialog_controller(CWnd* parent) : CDialogEx(IDD, parent) {}

void print_settings_dialog_controller::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Control(dx, IDC_PRINT_PROFILE, print_profile_list);
}

BOOL print_settings_dialog_controller::OnInitDialog() {
    CDialogEx::OnInitDialog();
    // The list sorts, and these two sort into the order they are added in,
    // so the indexes above hold either way.
    print_profile_list.AddString(u"Default Settings");
    print_profile_list.AddString(u"Optimize for PCL driver");
    print_profile_list.SetCurSel(default_profile);
    return TRUE;
}

int print_settings_dialog_controller::selected_print_profile() const { return print_profile_list.GetCurSel(); }

void print_settings_dialog_controller::select_print_profile(int profile) {
    print_profile_list.SetCurSel(profile == pcl_optimized_profile ? pcl_optimized_profile : default_profile);
}
