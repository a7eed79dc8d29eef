#!/bin/bash
# Builds the Debian package from this repository, without the tests, in its
# own build folder, and prints the package's path.
#   BUILD_DIR=build-package   build folder
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-package}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLIN_TESTS=OFF >&2
cmake --build "$build" -j"$(nproc)" >&2
(cd "$build" && cpack -G DEB >&2)
ls "$(cd "$build" && pwd)"/quorlin-deploy_*_amd64.deb
