// Window tests need the toolkit running before the first window: start it
// once for the whole program.
#include "dialog/win_app.h"

#include <gtest/gtest.h>

namespace {
class toolkit_environment : public ::testing::Environment {
public:
    toolkit_environment(int argc, char** argv) : argc_(argc), argv_(argv) {}
    void SetUp() override { AfxInitToolkit(argc_, argv_); }

private:
    int argc_;
    char** argv_;
};
}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new toolkit_environment(argc, argv));
    return RUN_ALL_TESTS();
}
