// Process entry: the command line decides between the job without a window
// (which never starts the GUI toolkit, so it runs without a display) and the
// framework's run of the application object.
#include "app/command_line.h"
#include "app/deployment_app.h"
#include "app/headless_job.h"
#include "app/version_report.h"
#include "dialog/afxwin.h"
#include "resources/program_resources.h"
#include "system/text_conversion.h"

#include <iostream>

int main(int argc, char** argv) {
    const parsed_command_line parsed = parse_command_line(argc, argv);
    if (!parsed.request) {
        std::cerr << "quorlin-deploy: " << parsed.error << '\n';
        return headless_error;
    }
    const command_line& request = *parsed.request;
    switch (request.what) {
    case command_line::mode::help: std::cout << command_line_help(); return 0;
    case command_line::mode::version:
        set_program_resource_source(&program_resource_source());
        std::cout << version_report(AfxGetAppName());
        return 0;
    case command_line::mode::show:
    case command_line::mode::generate: return run_headless_job(request, std::cout, std::cerr);
    case command_line::mode::window: break;
    }

    if (!request.package.empty()) {
        auto* app = static_cast<CQuorlin_EnterpriseDeploymentApp*>(AfxGetApp());
        app->package_to_open = sys::from_fs_path(std::filesystem::absolute(request.package));
    }
    set_program_resource_source(&program_resource_source());
    return AfxWinMain(argc, argv);
}
