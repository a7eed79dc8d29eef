// Process entry: the program's own resources, then the framework's run of
// the application object. "--version" answers without opening a display; a
// package named on the command line opens as if chosen with "Browse...".
#include "app/deployment_app.h"
#include "app/version_report.h"
#include "dialog/afxwin.h"
#include "resources/program_resources.h"
#include "system/text_conversion.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

int main(int argc, char** argv) {
    set_program_resource_source(&program_resource_source());
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::fputs(version_report(AfxGetAppName()).c_str(), stdout);
        return 0;
    }
    if (argc == 2) {
        auto* app = static_cast<CQuorlin_EnterpriseDeploymentApp*>(AfxGetApp());
        app->package_to_open = sys::from_fs_path(std::filesystem::absolute(argv[1]));
    }
    return AfxWinMain(argc, argv);
}
