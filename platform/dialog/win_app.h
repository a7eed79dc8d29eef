#pragma once
// The application object and the process entry. Exactly one CWinApp-derived
// object exists, constructed statically; AfxWinMain starts the toolkit,
// runs InitInstance, then (when InitInstance returns TRUE) the event loop,
// and finally ExitInstance, whose result is the exit status.
#include "message_map.h"
#include "windows_types.h"

#include <string>

class CWnd;

class CWinApp : public CCmdTarget {
public:
    // No name: the executable's file name without folder and extension.
    explicit CWinApp(const char16_t* app_name = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();  // TRUE
    virtual int ExitInstance();   // 0

    HICON LoadIcon(UINT id) const;  // icon resource `id`, null when absent

    const char16_t* m_pszAppName = nullptr;
    CWnd* m_pMainWnd = nullptr;

    afx_msg void OnHelp();

    DECLARE_MESSAGE_MAP()

private:
    std::u16string app_name_;
};

CWinApp* AfxGetApp();
const char16_t* AfxGetAppName();
void AfxEnableControlContainer();

// The icon resource `id` of the current resource source; for the standard
// ids (IDI_WARNING, ...) the desktop's own icon. Icons live for the process.
HICON AfxLoadIcon(UINT id);

// Starts the toolkit and runs the application object; returns the exit status.
int AfxWinMain(int argc, char** argv);
// Starts the toolkit only (test programs); safe to call more than once.
// False when there is no display to connect to.
bool AfxInitToolkit(int argc, char** argv);
