#!/bin/bash
# Builds the project and runs every test (GUI tests on a virtual X display).
# Needs the packages of .ci/debian-packages (setup-and-run.sh installs them).
#   BUILD_DIR=build      build folder
#   CMAKE_ARGS=...       extra configure options (e.g. -DQUORLIN_SANITIZE=ON)
#   TEST_JOBS=2          tests run at once
set -euo pipefail
cd "$(dirname "$0")"
build=${BUILD_DIR:-build}
jobs=${TEST_JOBS:-2}

# shellcheck disable=SC2086
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLIN_TESTS=ON ${CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"

# The oracle (built in tests/oracle) makes its Wine prefix on its first run;
# make it now rather than inside tests that start together (the script and
# the test helpers also lock around it).
"$build/tests/oracle/msi-oracle" >/dev/null 2>&1 || true

# A test that hangs fails after --timeout seconds instead of holding the run.
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$build" --output-on-failure --timeout 900 -j"$jobs"
