#include "app/deployment_app.h"

#include "app/language_module.h"
#include "window/deployment_dialog.h"

BEGIN_MESSAGE_MAP(CQuorlin_EnterpriseDeploymentApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CQuorlin_EnterpriseDeploymentApp::CQuorlin_EnterpriseDeploymentApp() : CWinApp(nullptr) {}

CQuorlin_EnterpriseDeploymentApp::~CQuorlin_EnterpriseDeploymentApp() = default;

// The one application object.
CQuorlin_EnterpriseDeploymentApp theApp;

BOOL CQuorlin_EnterpriseDeploymentApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    AfxEnableControlContainer();

    language_module = load_language_module(m_pszAppName ? m_pszAppName : u"");

    {
        CQuorlin_EnterpriseDeploymentDlg dialog;
        dialog.package_to_open = package_to_open;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
    // No message loop: the process ends once the window has closed.
    return FALSE;
}

int CQuorlin_EnterpriseDeploymentApp::ExitInstance() {
    if (language_module) {
        // The module's resources go with it: nothing may load from them afterwards.
        AfxSetResourceHandle(nullptr);
        sys::FreeLibrary(language_module);
        language_module = nullptr;
    }
    return CWinApp::ExitInstance();
}
