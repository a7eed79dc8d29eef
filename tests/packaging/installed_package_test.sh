#!/bin/bash
# installed_package_test.sh BUILD_DIR VERSION ORACLE
# Builds the .deb from BUILD_DIR, unpacks it with dpkg -x and checks what an
# installation would hold. Every check that fails is named; exit 1 if any did.
set -uo pipefail
build=$1 version=$2 oracle=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/quorlin-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

deb=$work/quorlin-deploy_${version}_amd64.deb
if ! (cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log" >&2
    fail "cpack -G DEB"
fi
[ -f "$deb" ] || { echo "no $deb" >&2; ls "$work" >&2; exit 1; }

# Dependencies were found from the binaries (shlibdeps), not left empty.
info=$(dpkg-deb -I "$deb")
echo "$info" | grep -q '^ Depends:.*libwxgtk3' || fail "Depends lacks the wxWidgets library: $info"
echo "$info" | grep -q "^ Version: $version\$" || fail "package version is not $version"

# Debian's own checks of the package: no errors and no warnings.
if ! lintian_report=$(lintian --fail-on error,warning "$deb" 2>&1); then
    fail "lintian: $lintian_report"
fi

root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr
for f in bin/quorlin-deploy bin/msi-transform lib/quorlin-deploy/lang/DE/quorlin-deployDE.so \
         share/applications/quorlin-deploy.desktop share/metainfo/com.quorlin.deploy.metainfo.xml \
         share/icons/hicolor/48x48/apps/quorlin-deploy.png share/icons/hicolor/scalable/apps/quorlin-deploy.svg \
         share/man/man1/quorlin-deploy.1.gz share/man/man1/msi-transform.1.gz; do
    [ -e "$usr/$f" ] || fail "the package lacks /usr/$f"
done

# The programs run from the scratch root, away from the build folder, and
# without a display.
cd "$work"
unset DISPLAY WAYLAND_DISPLAY
[ "$("$usr/bin/msi-transform" --version)" = "msi-transform $version" ] || fail "msi-transform --version"
[ "$("$usr/bin/quorlin-deploy" --version | head -1)" = "quorlin-deploy $version" ] || fail "quorlin-deploy --version"

# The installed msi-transform changes a package and writes a transform that
# Windows Installer applies with exactly that change.
mkdir fixture && (
    cd fixture || exit 1
    printf 'Property\tValue\ns72\tl0\nProperty\tProperty\nDT_SHORTCUT\t0\nProductCode\t{0C3B6E2A-5D41-4C7A-9E0B-2F6A8D1C3B57}\nProductName\tQuorlin PDF Pro\nProductVersion\t1.0.0\nUpgradeCode\t{7A1E9C40-2B6D-4F3E-8C15-9D0B4E7A2F61}\n' >Property.idt
    msibuild ../base.msi -s "Package test" "Quorlin tests" "Intel;1033" "{6D2C1A10-3E1B-4F1C-9D5A-0C7E2B4A9F01}" &&
        msibuild ../base.msi -i Property.idt
) >/dev/null || fail "msibuild could not build the fixture"
cp base.msi changed.msi
"$usr/bin/msi-transform" sql changed.msi "UPDATE Property SET Value = '1' WHERE Property = 'DT_SHORTCUT'" >/dev/null ||
    fail "installed msi-transform sql"
"$usr/bin/msi-transform" generate changed.msi base.msi change.mst || fail "installed msi-transform generate"
before=$("$oracle" -t Property base.msi) || fail "the oracle could not read the package"
applied=$("$oracle" -t Property base.msi change.mst) || fail "the oracle could not apply the transform"
[ "$(diff <(echo "$before") <(echo "$applied") | grep '^[<>]')" = "$(printf '< Property\tDT_SHORTCUT\t0\n> Property\tDT_SHORTCUT\t1')" ] ||
    fail "the transform does not change exactly DT_SHORTCUT: $(diff <(echo "$before") <(echo "$applied"))"
[ "$("$usr/bin/msi-transform" dump base.msi Property | grep DT_SHORTCUT)" = "$(printf 'Property\tDT_SHORTCUT\t0')" ] ||
    fail "the package was written"

# The installed program finds the installed German module, not one from the
# build folder.
echo 'LANG=de_DE.UTF-8' >de-locale
echo 'LANG=fr_FR.UTF-8' >fr-locale
nolocale='env -u LC_ALL -u LC_MESSAGES -u LANG'
report=$($nolocale QUORLIN_SYSTEM_LOCALE_FILE=$work/de-locale "$usr/bin/quorlin-deploy" --version)
module=$(readlink -f "$usr/lib/quorlin-deploy/lang/DE/quorlin-deployDE.so")
echo "$report" | grep -qxF "Interface language: DE ($module)" || fail "the installed module was not loaded: $report"
echo "$report" | grep -qxF "Locale: de_DE.UTF-8 (from $work/de-locale)" || fail "the deciding file: $report"
report=$($nolocale QUORLIN_SYSTEM_LOCALE_FILE=$work/fr-locale "$usr/bin/quorlin-deploy" --version)
echo "$report" | grep -qxF "Interface language: EN (built in; no module for FR found)" || fail "French: $report"
# The user's own variables come before the system default, as in every Linux program.
report=$($nolocale LANG=de_DE.UTF-8 QUORLIN_SYSTEM_LOCALE_FILE=$work/fr-locale "$usr/bin/quorlin-deploy" --version)
echo "$report" | grep -qxF "Interface language: DE ($module)" || fail "LANG: $report"
echo "$report" | grep -qxF "Locale: de_DE.UTF-8 (from LANG)" || fail "LANG named: $report"

desktop=$usr/share/applications/quorlin-deploy.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'MimeType=application/x-msi;' "$desktop" || fail "the desktop entry opens no .msi"
grep -qx 'Exec=quorlin-deploy %f' "$desktop" || fail "the desktop entry passes no file"
appstreamcli validate --no-net "$usr/share/metainfo/com.quorlin.deploy.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate"

for page in quorlin-deploy msi-transform; do
    file=$usr/share/man/man1/$page.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >"$work/$page.txt")
    [ -z "$warnings" ] || fail "man --warnings $page.1: $warnings"
    grep -q "quorlin-deploy $version" "$work/$page.txt" || fail "$page.1 does not name version $version"
done

[ "$failures" -eq 0 ] && echo "installed package: all checks passed"
[ "$failures" -eq 0 ]
