#!/bin/bash
# Builds the sample package from the sources beside this script with wixl
# (product, properties, registry) and msibuild (the agreement dialog).
#   build-sample.sh [OUT.msi]     default: <repository>/sample/quorlin-pdf-pro.msi
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../sample/quorlin-pdf-pro.msi}
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
rm -f "$out"
wixl -o "$out" "$here/quorlin-pdf-pro.wxs"
cd "$here"
msibuild "$out" -i Dialog.idt
msibuild "$out" -i Control.idt
echo "$out"
