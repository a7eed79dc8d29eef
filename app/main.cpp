// Process entry: the program's own resources, then the framework's run of
// the application object. "--version" answers without opening a display.
#include "app/version_report.h"
#include "dialog/afxwin.h"
#include "resources/program_resources.h"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    set_program_resource_source(&program_resource_source());
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::fputs(version_report(AfxGetAppName()).c_str(), stdout);
        return 0;
    }
    return AfxWinMain(argc, argv);
}
