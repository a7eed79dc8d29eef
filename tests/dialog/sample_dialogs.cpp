#include "sample_dialogs.h"

BEGIN_MESSAGE_MAP(sample_page, CDialogEx)
ON_BN_CLICKED(1080, &sample_page::on_apply)
ON_BN_CLICKED(1005, &sample_page::on_shortcut)
END_MESSAGE_MAP()

void sample_page::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Check(dx, 1005, shortcut);
    DDX_Check(dx, 1006, printer);
    DDX_Text(dx, 1067, path);
    DDV_MaxChars(dx, path, 10);
    DDX_Control(dx, 1005, shortcut_box);
    DDX_Control(dx, 1072, languages);
    DDX_Control(dx, 1073, sorted_list);
    DDX_Control(dx, 1067, path_edit);
}

BOOL sample_page::OnInitDialog() {
    if (!CDialogEx::OnInitDialog()) return FALSE;
    ++init_calls;
    shortcut_state_at_init = shortcut_box.GetCheck();
    return TRUE;
}

BEGIN_MESSAGE_MAP(sample_window, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(1001, &sample_window::on_browse)
ON_BN_CLICKED(1053, &sample_window::on_consent)
ON_NOTIFY(TVN_SELCHANGEDW, 1036, &sample_window::on_selection)
ON_NOTIFY(NM_CLICK, 1052, &sample_window::on_link)
END_MESSAGE_MAP()

void sample_window::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, 1000, msi_path);
    DDX_Control(dx, 1036, tree);
    DDX_Control(dx, 1035, frame);
    DDX_Control(dx, 1008, generate);
    DDX_Control(dx, 1053, consent);
    DDX_Control(dx, 1052, link);
    DDX_Control(dx, 1064, version);
}

void sample_window::on_consent() {
    ++consent_clicks;
    generate.EnableWindow(consent.GetCheck() != 0);
}

void sample_window::on_selection(NMHDR* notify, LRESULT* result) {
    selected_at_notification.push_back(tree.GetNextItem(nullptr, TVGN_CARET));
    notified_params.push_back(reinterpret_cast<NMTREEVIEWW*>(notify)->itemNew.lParam);
    *result = 0;
}

void sample_window::on_link(NMHDR* notify, LRESULT* result) {
    auto* link_notify = reinterpret_cast<NMLINK*>(notify);
    clicked_links.push_back(link_notify->item.iLink);
    clicked_urls.push_back(link_notify->item.szUrl);
    clicked_ids.push_back(link_notify->item.szID);
    *result = 0;
}

void sample_window::OnPaint() {
    ++paints;
    CDialog::OnPaint();
    if (invalidate_on_paint) invalidate_on_paint->InvalidateRect(nullptr, TRUE);
}

BEGIN_MESSAGE_MAP(derived_window, sample_window)
ON_BN_CLICKED(1008, &derived_window::on_generate)
END_MESSAGE_MAP()
