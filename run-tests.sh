#!/bin/bash
# Builds the project and runs every test (GUI tests on a virtual X display).
# Needs the packages of .ci/debian-packages (setup-and-run.sh installs them)
# and ../shared/oracle beside the repository.
#   BUILD_DIR=build      build folder
#   CMAKE_ARGS=...       extra configure options (e.g. -DQUORLIN_SANITIZE=ON)
#   TEST_JOBS=2          tests run at once
set -euo pipefail
cd "$(dirname "$0")"
build=${BUILD_DIR:-build}
jobs=${TEST_JOBS:-2}

# shellcheck disable=SC2086
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"

# The oracle's Wine prefix is made on its first run; make it now rather than
# inside tests that start together (the test helpers also lock around it).
if [ -x ../shared/oracle/msi-oracle ]; then
    ../shared/oracle/msi-oracle >/dev/null 2>&1 || true
else
    echo "run-tests.sh: ../shared/oracle/msi-oracle is missing; tests that use it will fail" >&2
fi

# A test that hangs fails after --timeout seconds instead of holding the run.
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$build" --output-on-failure --timeout 900 -j"$jobs"
