#include "pages/imanage_dialog_controller.h"

#include "installer/deployment_settings.h"
#include "pages/page_check_boxes.h"

imanage_dialog_controller::imanage_dialog_controller(CWnd* parent) : CDialogEx(IDD, parent) {}

void imanage_dialog_controller::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    exchange_check_boxes<deployment::imanage_page_settings>(dx, *this);
    DDX_Text(dx, IDC_IMANAGE_PATH, imanage_install_path);
    DDV_MaxChars(dx, imanage_install_path, max_install_path_length);
    DDX_Control(dx, IDC_IMANAGE_PATH, install_path_edit);
    DDX_Control(dx, IDC_IMANAGE_PATH_LABEL, install_path_label);
    DDX_Control(dx, IDC_IMANAGE_HINT, install_path_hint);
}

BEGIN_MESSAGE_MAP(imanage_dialog_controller, CDialogEx)
ON_BN_CLICKED(IDC_IMANAGE_ENABLED, &imanage_dialog_controller::on_imanage_enabled_clicked)
END_MESSAGE_MAP()

void imanage_dialog_controller::on_imanage_enabled_clicked() {
    UpdateData(TRUE);
    BOOL enable = imanage_enabled != 0;
    install_path_edit.EnableWindow(enable);
    install_path_label.EnableWindow(enable);
    install_path_hint.EnableWindow(enable);
}

bool imanage_dialog_controller::validate_install_path() {
    imanage_install_path = deployment::trimmed_install_path(imanage_install_path);
    UpdateData(FALSE);
    if (imanage_enabled == 0 || !imanage_install_path.empty()) return true;

    install_path_edit.SetFocus();
    std::u16string text;
    LoadString(IDS_IMANAGE_PATH_EMPTY, text);
    EDITBALLOONTIP tip{sizeof(EDITBALLOONTIP), u"", text.c_str(), TTI_NONE};
    install_path_edit.ShowBalloonTip(&tip);
    return false;
}
