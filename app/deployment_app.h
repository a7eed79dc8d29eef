#pragma once
// The application object: start-up (common controls, interface language),
// the modal run of the main window, and release at exit.
#include "dialog/afxwin.h"
#include "system/loadable_module.h"

#include <string>

class CQuorlin_EnterpriseDeploymentApp : public CWinApp {
public:
    // No name: the framework takes the executable's name.
    CQuorlin_EnterpriseDeploymentApp();
    ~CQuorlin_EnterpriseDeploymentApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // A package named on the command line, loaded once the window is up.
    std::u16string package_to_open;

    // The loaded interface-language module, or null (English).
    sys::module_handle language_module = nullptr;

    DECLARE_MESSAGE_MAP()
};
