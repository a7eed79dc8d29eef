#include "window/deployment_dialog.h"

#include "installer/installer_package.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"
#include "resources/resource.h"
#include "resources/version.h"
#include "installer/deployment_settings_map.h"
#include "window/version_label.h"

BEGIN_MESSAGE_MAP(CQuorlin_EnterpriseDeploymentDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_BROWSE, &CQuorlin_EnterpriseDeploymentDlg::OnBrowse)
ON_BN_CLICKED(IDC_GENERATE, &CQuorlin_EnterpriseDeploymentDlg::OnGenerate)
ON_NOTIFY(TVN_SELCHANGEDW, IDC_PAGE_TREE, &CQuorlin_EnterpriseDeploymentDlg::show_selected_page)
ON_NOTIFY(NM_CLICK, IDC_AGREEMENT_LINK, &CQuorlin_EnterpriseDeploymentDlg::open_agreement_link)
ON_BN_CLICKED(IDC_CONSENT_CHECK, &CQuorlin_EnterpriseDeploymentDlg::on_consent_clicked)
END_MESSAGE_MAP()

CQuorlin_EnterpriseDeploymentDlg::CQuorlin_EnterpriseDeploymentDlg(CWnd* parent)
    : CDialog(IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG, parent) {
    app_icon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : AfxLoadIcon(IDR_MAINFRAME);

    // The window owns its pages even when its own window is never created,
    // so they are held here rather than only through `pages`.
    general_page_owner_ = std::make_unique<installation_options_dialog_controller>(this);
    print_page_owner_ = std::make_unique<print_settings_dialog_controller>(this);
    imanage_page_owner_ = std::make_unique<imanage_dialog_controller>(this);
    help_page_owner_ = std::make_unique<quorlin_ai_dialog_controller>(this);
    general_page = general_page_owner_.get();
    print_page = print_page_owner_.get();
    imanage_page = imanage_page_owner_.get();
    help_page = help_page_owner_.get();
}

// The package is left alone here: only OnCancel and a new choice destroy it.
// A window torn down another way (a test, a failed start) still must not
// leave the working copy behind, so the unique_ptr's own cleanup stands.
CQuorlin_EnterpriseDeploymentDlg::~CQuorlin_EnterpriseDeploymentDlg() { pages.clear(); }

void CQuorlin_EnterpriseDeploymentDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_MSI_PATH, msi_path);
    DDX_Control(dx, IDC_PAGE_TREE, tree);
    DDX_Control(dx, IDC_PAGE_FRAME, page_frame);
    DDX_Control(dx, IDC_GENERATE, generate_button);
    DDX_Control(dx, IDC_CONSENT_CHECK, consent_check);
    DDX_Control(dx, IDC_CONSENT_STATIC, consent_static);
    DDX_Control(dx, IDC_AGREEMENT_LINK, agreement_link);
    DDX_Control(dx, IDC_VERSION_LABEL, version_label);
}

BOOL CQuorlin_EnterpriseDeploymentDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app_icon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(app_icon));

    general_item = create_page(general_page, IDD_INSTALLATION_OPTIONS, u"General");
    create_page(print_page, IDD_PRINT_SETTINGS, u"Print Settings");
    create_page(imanage_page, IDD_IMANAGE, u"iManage Work 10");
    create_page(help_page, IDD_QUORLIN_AI, u"Help Resources");

    show_version();

    // The tree notifies synchronously, so the General page is shown here.
    tree.SelectItem(general_item);
    enable_package_controls(false);

    if (!package_to_open.empty()) open_package(package_to_open);
    return TRUE;
}

HTREEITEM CQuorlin_EnterpriseDeploymentDlg::create_page(CDialog* page, UINT template_id, const std::u16string& label) {
    page->Create(template_id, this);

    CRect frame;
    page_frame.GetWindowRect(&frame);
    ScreenToClient(&frame);
    if (page->GetSafeHwnd()) page->MoveWindow(frame, TRUE);

    pages.push_back(page);

    HTREEITEM item = tree.InsertItem(TVIF_TEXT, label, 0, 0, 0, 0, 0, TVI_ROOT, TVI_LAST);
    tree.SetItemData(item, reinterpret_cast<DWORD_PTR>(static_cast<CWnd*>(page)));
    return item;
}

void CQuorlin_EnterpriseDeploymentDlg::show_version() {
    std::u16string format;
    LoadString(IDS_VERSION_FORMAT, format);
    version_label.SetWindowText(format_version_label(format, program_version_u16));
}

void CQuorlin_EnterpriseDeploymentDlg::show_selected_page(NMHDR*, LRESULT*) {
    HTREEITEM selected = tree.GetNextItem(nullptr, TVGN_CARET);
    if (!selected) return;
    auto* shown = reinterpret_cast<CWnd*>(tree.GetItemData(selected));
    for (CWnd* page : pages) page->ShowWindow(page == shown ? SW_SHOW : SW_HIDE);
}

void CQuorlin_EnterpriseDeploymentDlg::select_page(CWnd* page) {
    for (HTREEITEM item = tree.GetNextItem(nullptr, TVGN_FIRSTVISIBLE); item;
         item = tree.GetNextItem(item, TVGN_NEXT)) {
        if (reinterpret_cast<CWnd*>(tree.GetItemData(item)) == page) {
            tree.Select(item, TVGN_CARET);
            return;
        }
    }
}

void CQuorlin_EnterpriseDeploymentDlg::enable_package_controls(bool enable) {
    tree.EnableWindow(enable);
    general_page->enable_controls(enable);
    general_page->enable_sign_integration_control(deployment::is_pro_product(product_name));
    consent_check.EnableWindow(enable);
    consent_static.ShowWindow(enable ? SW_HIDE : SW_SHOW);
    agreement_link.ShowWindow(enable ? SW_SHOW : SW_HIDE);
}

// Each page derives from its part of settings_values, so a whole page's
// settings move at once; the two lists are read through their pages.
deployment::settings_values CQuorlin_EnterpriseDeploymentDlg::page_values() const {
    deployment::settings_values values;
    static_cast<deployment::general_page_settings&>(values) = *general_page;
    static_cast<deployment::imanage_page_settings&>(values) = *imanage_page;
    static_cast<deployment::help_page_settings&>(values) = *help_page;
    values.application_language = general_page->selected_language_code();
    values.print_profile = print_page->selected_print_profile();
    return values;
}

void CQuorlin_EnterpriseDeploymentDlg::set_page_values(const deployment::settings_values& values) {
    static_cast<deployment::general_page_settings&>(*general_page) = values;
    static_cast<deployment::imanage_page_settings&>(*imanage_page) = values;
    static_cast<deployment::help_page_settings&>(*help_page) = values;
    // The lists are touched only for a different choice, so that a list
    // with nothing selected stays so when the values did not change.
    if (values.application_language != general_page->selected_language_code())
        general_page->select_language_code(values.application_language);
    if (values.print_profile != print_page->selected_print_profile())
        print_page->select_print_profile(values.print_profile);
}

void CQuorlin_EnterpriseDeploymentDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int icon_width = GetSystemMetrics(SM_CXICON);
        const int icon_height = GetSystemMetrics(SM_CYICON);
        CRect client;
        GetClientRect(&client);
        const int x = (client.Width() - icon_width + 1) / 2;
        const int y = (client.Height() - icon_height + 1) / 2;
        dc.DrawIcon(x, y, app_icon);
    } else {
        CDialog::OnPaint();
    }
    // The pages sit over the frame and must repaint after it.
    for (CWnd* page : pages) page->InvalidateRect(nullptr, TRUE);
}

HCURSOR CQuorlin_EnterpriseDeploymentDlg::OnQueryDragIcon() { return app_icon; }

// Enter must never close the window.
void CQuorlin_EnterpriseDeploymentDlg::OnOK() {}

void CQuorlin_EnterpriseDeploymentDlg::OnCancel() {
    package.reset();  // closes both databases and deletes the working copy
    CDialog::OnCancel();
}
