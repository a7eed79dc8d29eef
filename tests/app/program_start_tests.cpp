// quorlin-deploy started where there is no display to open.
#include "support/process.h"

#include <gtest/gtest.h>

using test_support::run_process;

TEST(ProgramStart, WithoutADisplaySaysSoAndFails) {
    for (const char* display : {"", ":97"}) {  // unset; pointing at no server
        SCOPED_TRACE(display);
        std::vector<std::string> argv{"env", "-u", "WAYLAND_DISPLAY", "-u", "DISPLAY"};
        if (*display) argv.push_back(std::string("DISPLAY=") + display);
        argv.push_back(QUORLIN_PROGRAM);
        const auto r = run_process(argv);
        EXPECT_NE(r.exit_code, 0);
        EXPECT_LT(r.exit_code, 128) << "ended by signal " << r.exit_code - 128;
        EXPECT_NE(r.err.find("cannot open a display"), std::string::npos) << r.err;
    }
}
