// Window tests of the main window and start-up: real wxWidgets windows, so
// the program needs a display (xvfb-run) and starts the toolkit first.
#include "dialog/afxwin.h"
#include "resources/program_resources.h"

#include <gtest/gtest.h>

namespace {

class toolkit_environment : public testing::Environment {
public:
    toolkit_environment(int argc, char** argv) : argc_(argc), argv_(argv) {}
    void SetUp() override {
        AfxInitToolkit(argc_, argv_);
        set_program_resource_source(&program_resource_source());
    }

private:
    int argc_;
    char** argv_;
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new toolkit_environment(argc, argv));
    return RUN_ALL_TESTS();
}
