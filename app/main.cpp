// Process entry: the program's own resources, then the framework's run of
// the application object.
#include "dialog/afxwin.h"
#include "resources/program_resources.h"

int main(int argc, char** argv) {
    set_program_resource_source(&program_resource_source());
    return AfxWinMain(argc, argv);
}
