#!/bin/bash
# First start on a fresh Debian 12 machine: installs the packages the project
# needs (asks for sudo when not root), builds the program with its language
# module and msi-transform (not the tests: run-tests.sh builds those in the
# same folder), builds the sample package and opens the program's window.
set -euo pipefail
cd "$(dirname "$0")"

mapfile -t packages < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' .ci/debian-packages)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get update
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target quorlin-deploy msi-transform
sample=$(resources/sample/build-sample.sh)

cat <<MSG

Built: build/bin/quorlin-deploy
Sample package: $sample
  In the program press "Browse...", choose that file, change options, tick the
  agreement and press "Generate MST File": the transform is written beside it
  as $(dirname "$sample")/quorlin-pdf-pro.mst.

MSG
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: start build/bin/quorlin-deploy from a desktop session." >&2
    exit 1
fi
exec build/bin/quorlin-deploy
