// The main() of test programs that open the program's real windows: they need
// a display (xvfb-run), start the toolkit first and load the program's own
// resources.
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
