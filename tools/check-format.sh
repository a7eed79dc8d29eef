#!/bin/bash
# Checks that the C++ lines a branch changes follow .clang-format, without
# asking the rest of the tree to be reformatted:
#   tools/check-format.sh [BASE]
# BASE defaults to where HEAD left main (origin/main when there is no main).
# Prints clang-format's diff and fails when a changed line needs it; to
# format your own changed lines in place: git clang-format BASE
set -euo pipefail
cd "$(dirname "$0")/.."
base=${1:-}
if [ -z "$base" ]; then
    for candidate in main origin/main; do
        if base=$(git merge-base HEAD "$candidate" 2>/dev/null); then break; fi
        base=
    done
fi
if [ -z "$base" ]; then
    echo "check-format: no main branch to compare with; nothing checked" >&2
    exit 0
fi
if [ "$(git rev-parse "$base")" = "$(git rev-parse HEAD)" ]; then
    echo "check-format: no commits since $base"
    exit 0
fi
out=$(git clang-format --binary "$(command -v clang-format)" --diff --extensions cpp,h "$base" HEAD)
case "$out" in
    ""|"no modified files to format"|"clang-format did not modify any files")
        echo "check-format: changed lines since ${base:0:12} follow .clang-format" ;;
    *)
        printf '%s\n' "$out"
        echo "check-format: the lines above, changed since ${base:0:12}, do not follow .clang-format" >&2
        exit 1 ;;
esac
