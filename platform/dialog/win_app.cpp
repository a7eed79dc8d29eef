#include "win_app.h"

#include "resource_access.h"
#include "ui_services.h"
#include "wnd.h"
#include "wx_ui_services.h"
#include "system/text_conversion.h"

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <string>

namespace {

CWinApp* the_app = nullptr;

// The toolkit's own application object; the program reads no command line.
class framework_app : public wxApp {
public:
    bool OnInit() override { return true; }
};

// The executable's file name without folder and extension.
std::u16string executable_stem() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string name =
        n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string(program_invocation_short_name);
    if (const std::size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
    return sys::utf8_to_utf16(name);
}

}  // namespace

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CWinApp::CWinApp(const char16_t* app_name) {
    app_name_ = app_name ? std::u16string(app_name) : executable_stem();
    m_pszAppName = app_name_.c_str();
    set_message_box_caption(app_name_);
    the_app = this;
}

CWinApp::~CWinApp() {
    if (the_app == this) the_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }
HICON CWinApp::LoadIcon(UINT id) const { return AfxLoadIcon(id); }

// There is no help file to open.
void CWinApp::OnHelp() {}

CWinApp* AfxGetApp() { return the_app; }
const char16_t* AfxGetAppName() { return the_app ? the_app->m_pszAppName : u""; }

// Embedded controls need no preparation here.
void AfxEnableControlContainer() {}

bool AfxInitToolkit(int argc, char** argv) {
    static bool started = false;
    if (started) return true;
    wxApp::SetInstance(new framework_app);
    // Fails without a display to connect to; nothing of the toolkit may be used then.
    if (!wxEntryStart(argc, argv)) return false;
    started = true;
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();
    // The real windows, unless a test has put its recorder in place already.
    static wx_ui_services real;
    if (ui_services* earlier = set_ui_services(&real)) set_ui_services(earlier);
    return true;
}

int AfxWinMain(int argc, char** argv) {
    if (!AfxInitToolkit(argc, argv)) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "%s: cannot open a display (DISPLAY is %s)\n", program_invocation_short_name,
                     display && *display ? display : "not set");
        return 1;
    }
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    int status = 0;
    if (!app->InitInstance()) {
        status = app->ExitInstance();
    } else {
        if (wxTheApp->GetTopWindow()) wxTheApp->OnRun();
        status = app->ExitInstance();
    }
    wxEntryCleanup();
    return status;
}
