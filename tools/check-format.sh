#!/bin/bash
# Checks that every tracked C++ file follows .clang-format:
#   tools/check-format.sh
# Prints where a file differs and fails; to lay the tree out in place:
#   git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
count=$(git ls-files '*.cpp' '*.h' | wc -l)
if ! out=$(git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror 2>&1); then
    printf '%s\n' "$out" | grep -E '^[^ ].*: error:' | cut -d: -f1 | sort -u
    echo "check-format: the file(s) above do not follow .clang-format" >&2
    exit 1
fi
echo "check-format: all $count C++ files follow .clang-format"
