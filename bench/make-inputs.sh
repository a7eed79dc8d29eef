#!/bin/sh
# Builds the benchmark's input packages with msitools' msibuild, once, into a
# cache that is never committed:
#   $QUORLIN_BENCH_CACHE, else $XDG_CACHE_HOME/quorlin-bench, else bench/cache
# Each package holds the Property, Registry and Control rows the utility reads
# and writes, a Registry table of 20,000 rows, and (from 50 MB up) a File and
# Component table of 15,000 rows beside one cabinet-like stream of random
# bytes that brings the file to its size. A package that exists is kept.
#
# Usage: bench/make-inputs.sh [SIZE...]    SIZE: 1mb 50mb 200mb 1gb (default: all)
# Prints the path of every package, one a line.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
if [ -n "${QUORLIN_BENCH_CACHE:-}" ]; then
    cache=$QUORLIN_BENCH_CACHE
elif [ -n "${XDG_CACHE_HOME:-}" ]; then
    cache=$XDG_CACHE_HOME/quorlin-bench
else
    cache=$here/cache
fi
mkdir -p "$cache"

command -v msibuild >/dev/null || { echo "msibuild not found (apt-get install msitools)" >&2; exit 2; }

# size name -> target bytes; the tables take about 0.7 MB (1mb) or 2 MB (others)
target_bytes() {
    case $1 in
        1mb) echo 1048576 ;;
        50mb) echo 52428800 ;;
        200mb) echo 209715200 ;;
        1gb) echo 1073741824 ;;
        *) echo "unknown size '$1' (1mb, 50mb, 200mb, 1gb)" >&2; exit 2 ;;
    esac
}

write_tables() {  # folder, with_files (0/1)
    python3 - "$1" "$2" <<'PY'
import os, sys
out, with_files = sys.argv[1], sys.argv[2] == "1"

def table(name, columns, types, keys, rows):
    with open(os.path.join(out, name + ".idt"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write("\t".join(columns) + "\n" + "\t".join(types) + "\n")
        f.write("\t".join([name] + keys) + "\n")
        for r in rows:
            f.write("\t".join("" if v is None else str(v) for v in r) + "\n")

properties = [
    ("ProductName", "Quorlin PDF Pro"),
    ("ProductCode", "{3F2C6A51-7B0E-4D8A-9E41-2C5B7A1D9E30}"),
    ("ProductVersion", "26.4.4.1"),
    ("UpgradeCode", "{A1B2C3D4-1111-4E2F-8A3B-5C6D7E8F9A0B}"),
    ("Manufacturer", "Quorlin Software"),
    ("ProductLanguage", "1033"),
    ("DT_SHORTCUT", "1"),
    ("OFFICEADDINS", "1"),
    ("QPINSTALLPRINTERDRIVER", "1"),
    ("INSTALL_PRINTER_DRIVER", "1"),
    ("SIGNENABLE", "1"),
    ("DROPBOXDISABLED", "unset"),
    ("ONEDRIVEDISABLED", "#0"),
    ("BOXDISABLED", "#1"),
    ("SHAREPOINTDISABLED", "unset"),
    ("BUGSPLAT_SENDREPORT_ENABLED", "1"),
    ("MSAZUREIPLABELINGENABLED", "0"),
    ("MSAZUREFORCELOGIN", "/b 0"),
    ("IMANAGEENABLED", "0"),
    ("IMANAGEINSTALLPATH", "C:\\Program Files\\iManage\\Work"),
    ("KNOWLEDGEASSISTANT", "/b 1"),
    ("WINSPARKLE_ENABLED", "/b 1"),
    ("APPLICATION_LANGUAGE", "en-US"),
    ("TOS_URL", "https://www.quorlin.example/terms"),
    ("PP_URL", "https://www.quorlin.example/privacy"),
]
properties += [("QP_SETTING_%04d" % i, "value %d" % (i * 7)) for i in range(300)]
table("Property", ["Property", "Value"], ["s72", "l0"], ["Property"], properties)

registry = [
    ("reg_network_disk", 2, "Software\\Quorlin\\PDF Pro\\Settings", "network_disk_enabled", "/b 0", "MainComponent"),
    ("reg_bugsplat", 2, "Software\\Quorlin\\PDF Pro\\Settings", "kBugsplatEnableCrashReporting", "/b 1", "MainComponent"),
    ("reg_band_size", 2, "Software\\Quorlin\\PDF Pro\\Printer", "PrintBandSize", "#8388608", "MainComponent"),
    ("reg_band_count", 2, "Software\\Quorlin\\PDF Pro\\Printer", "PrintBandCountForIgnore", "#8", "MainComponent"),
]
for i in range(20000):
    registry.append(("reg%05d" % i, 2 if i % 3 else 1,
                     "Software\\Quorlin\\PDF Pro\\Group%03d" % (i % 400),
                     "Value%04d" % (i % 2000), "Data %d" % (i % 5000),
                     "Component%04d" % (i % 2000)))
table("Registry", ["Registry", "Root", "Key", "Name", "Value", "Component_"],
      ["s72", "i2", "l255", "L255", "L0", "s72"], ["Registry"], registry)

controls = [
    ("LicenseDlg", "TermsAndConditionsAgreement", "Hyperlink", 20, 200, 330, 15, 3, None,
     '<a href="https://www.quorlin.example/terms">Terms of Service</a>', None, None),
    ("LicenseDlg", "PrivacyPolicyAgreement", "Hyperlink", 20, 220, 330, 15, 3, None,
     '<a href="https://www.quorlin.example/privacy">Privacy Policy</a>', None, None),
]
for d in range(40):
    for c in range(10):
        controls.append(("Dialog%02d" % d, "Control%02d" % c, "Text", 10, 10 + 20 * c, 300, 15, 3,
                         None, "Text of control %d on dialog %d" % (c, d), None, None))
table("Control", ["Dialog_", "Control", "Type", "X", "Y", "Width", "Height", "Attributes",
                  "Property", "Text", "Control_Next", "Help"],
      ["s72", "s50", "s20", "i2", "i2", "i2", "i2", "I4", "S72", "L0", "S50", "L50"],
      ["Dialog_", "Control"], controls)

if with_files:
    components = [("Component%04d" % i, "{%08X-0000-4000-8000-%012X}" % (0x51000000 + i, i),
                   "INSTALLDIR", 0, None, None) for i in range(2000)]
    components.append(("MainComponent", "{51FFFFFF-0000-4000-8000-000000000000}", "INSTALLDIR", 0, None, None))
    table("Component", ["Component", "ComponentId", "Directory_", "Attributes", "Condition", "KeyPath"],
          ["s72", "S38", "s72", "i2", "S255", "S72"], ["Component"], components)
    files = [("fil%05d" % i, "Component%04d" % (i % 2000), "f%05d.dll|QuorlinModule%05d.dll" % (i, i),
              4096 + i, "26.4.4.%d" % (i % 100), "1033", 512, i + 1) for i in range(15000)]
    table("File", ["File", "Component_", "FileName", "FileSize", "Version", "Language", "Attributes", "Sequence"],
          ["s72", "s72", "l255", "i4", "S72", "S20", "I2", "i4"], ["File"], files)
PY
}

build() {  # size
    name=$1
    out=$cache/bench-$name.msi
    if [ -f "$out" ]; then echo "$out"; return; fi
    target=$(target_bytes "$name")
    work=$cache/.build-$name
    rm -rf "$work"; mkdir -p "$work/tables"
    with_files=1; [ "$name" = 1mb ] && with_files=0
    write_tables "$work/tables" $with_files
    (
        cd "$work/tables"
        msibuild ../part.msi -s "Quorlin PDF Pro" "Quorlin Software" "x64;1033" \
            "{7C1E5D2A-4B3F-4A6E-9D8C-1F2E3D4C5B6A}"
        # One table per call: msibuild takes a single file after -i, and
        # reports some import failures on standard error only.
        for idt in *.idt; do
            said=$(msibuild ../part.msi -i "$idt" 2>&1) && [ -z "$said" ] ||
                { echo "msibuild could not import $idt: $said" >&2; exit 2; }
        done
    )
    # The cabinet fills the rest, rounded down to whole 4 KiB blocks.
    tables=$(stat -c %s "$work/part.msi")
    cab=$(( (target - tables - 4096) / 4096 * 4096 ))
    [ "$cab" -lt 65536 ] && cab=65536
    head -c "$cab" /dev/urandom > "$work/Data1.cab"
    msibuild "$work/part.msi" -a Data1.cab "$work/Data1.cab"
    mv "$work/part.msi" "$out"
    rm -rf "$work"
    echo "$out"
}

[ $# -gt 0 ] || set -- 1mb 50mb 200mb 1gb
for size in "$@"; do build "$size"; done
