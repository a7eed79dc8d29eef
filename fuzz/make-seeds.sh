#!/bin/sh
# Seed corpora for the fuzz harnesses, built by real tools (msibuild, wixl)
# into a folder that is never committed (default fuzz/findings/seeds):
#   packages/  small packages for open_package, commit_package, generate_transform
#   sql/       statements for run_sql
#   transforms/  transforms between those packages for apply_transform, made
#              by our own msi-transform when MSI_TRANSFORM names it
# Usage: [MSI_TRANSFORM=path/to/msi-transform] fuzz/make-seeds.sh [OUT]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/findings/seeds}
rm -rf "$out"
mkdir -p "$out/packages" "$out/sql" "$out/transforms" "$out/work"
work=$out/work

idt() {  # package table text: writes table.idt into a fresh folder per package
    mkdir -p "$work/$1"
    printf '%b' "$3" > "$work/$1/$2.idt"
}

build() {  # package: imports every .idt of its folder (and Binary/ files) with msibuild
    (
        cd "$work/$1"
        msibuild "$out/packages/$1.msi" -s "Quorlin seed" "Quorlin tests" "Intel;1033" \
            "{6D2C1A10-3E1B-4F1C-9D5A-0C7E2B4A9F01}"
        for t in *.idt; do
            said=$(msibuild "$out/packages/$1.msi" -i "$t" 2>&1) && [ -z "$said" ] ||
                { echo "msibuild could not import $t into $1: $said" >&2; exit 2; }
        done
    )
}

property='Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\nProductName\tQuorlin PDF Pro\r\nProductCode\t{3F2C6A51-7B0E-4D8A-9E41-2C5B7A1D9E30}\r\nProductVersion\t26.4.4.1\r\nUpgradeCode\t{A1B2C3D4-1111-4E2F-8A3B-5C6D7E8F9A0B}\r\nDT_SHORTCUT\t1\r\nDROPBOXDISABLED\tunset\r\nIMANAGEINSTALLPATH\tC:\\\\Users\\\\O'"'"'Brien\\\\Work10\r\n'
registry='Registry\tRoot\tKey\tName\tValue\tComponent_\r\ns72\ti2\tl255\tL255\tL0\ts72\r\nRegistry\tRegistry\r\nreg1\t2\tSoftware\\\\Quorlin\tnetwork_disk_enabled\t/b 0\tMain\r\nreg2\t2\tSoftware\\\\Quorlin\tPrintBandSize\t#8388608\tMain\r\nreg3\t1\tSoftware\\\\Quorlin\tShared\tone\tMain\r\nreg4\t1\tSoftware\\\\Other\tShared\ttwo\tMain\r\n'
control='Dialog_\tControl\tType\tX\tY\tWidth\tHeight\tAttributes\tProperty\tText\tControl_Next\tHelp\r\ns72\ts50\ts20\ti2\ti2\ti2\ti2\tI4\tS72\tL0\tS50\tL50\r\nControl\tDialog_\tControl\r\nLicenseDlg\tTermsAndConditionsAgreement\tHyperlink\t20\t200\t330\t15\t3\t\t<a href="https://q.example/tos">Terms</a>\t\t\r\nLicenseDlg\tPrivacyPolicyAgreement\tHyperlink\t20\t220\t330\t15\t3\t\t<a href="https://q.example/pp">Privacy</a>\t\t\r\n'
kinds='Key\tText\tLoc\tShort\tShort2\tLong\tLong2\tData\r\ns72\tS255\tL64\tI2\ti2\tI4\ti4\tV0\r\nKinds\tKey\r\na\tplain\tlocalized\t-5\t32767\t-2147483647\t2147483647\tdata.bin\r\nb\t\t\t\t-32767\t\t0\t\r\n'

idt minimal Property "$property"
build minimal

idt program Property "$property"
idt program Registry "$registry"
idt program Control "$control"
build program

idt kinds Property "$property"
idt kinds Kinds "$kinds"
mkdir -p "$work/kinds/Kinds"
printf 'hello binary' > "$work/kinds/Kinds/data.bin"
build kinds

# Code page 1252 with non-ASCII text (msibuild reads .idt files as UTF-8).
idt cp1252 _ForceCodepage '\r\n\r\n1252\t_ForceCodepage\r\n'
idt cp1252 Property 'Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\nProductName\tQuorlin PDF Pro éÜø\r\nProductCode\t{3F2C6A51-7B0E-4D8A-9E41-2C5B7A1D9E30}\r\nProductVersion\t1.0\r\n'
build cp1252

# A value past 64 KiB: a long string in the pool.
idt long Property "$property"
python3 -c "import sys; sys.stdout.write('Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\nLONGVALUE\t' + 'L' * 70000 + '\r\n')" > "$work/long/Property.idt"
build long

# A small cabinet-like stream beside the tables.
idt stream Property "$property"
build stream
head -c 5000 /dev/urandom > "$work/stream/Data1.cab"
msibuild "$out/packages/stream.msi" -a Data1.cab "$work/stream/Data1.cab"

# wixl writes its own compound-file layout.
if command -v wixl >/dev/null; then
    cat > "$work/product.wxs" <<'WXS'
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="3F2C6A51-7B0E-4D8A-9E41-2C5B7A1D9E30" Name="Quorlin PDF Pro" Language="1033" Version="26.4.4.1"
           Manufacturer="Quorlin" UpgradeCode="A1B2C3D4-1111-4E2F-8A3B-5C6D7E8F9A0B">
    <Package InstallerVersion="200" Compressed="yes" />
    <Property Id="DT_SHORTCUT" Value="1" />
    <Property Id="MSAZUREFORCELOGIN" Value="/b 0" />
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Component Id="Main" Guid="51FFFFFF-0000-4000-8000-000000000001">
        <RegistryValue Root="HKLM" Key="Software\Quorlin" Name="network_disk_enabled" Value="/b 1" Type="string" KeyPath="yes" />
      </Component>
    </Directory>
    <Feature Id="Complete" Level="1"><ComponentRef Id="Main" /></Feature>
  </Product>
</Wix>
WXS
    wixl -o "$out/packages/wixl.msi" "$work/product.wxs"
fi

cat > "$out/sql/program.sql" <<'SQL'
SELECT `Value` FROM `Property` WHERE `Property` = 'ProductName'
SELECT Value FROM Registry WHERE Name = 'network_disk_enabled'
SELECT Text FROM Control WHERE Control = 'TermsAndConditionsAgreement'
UPDATE Property SET Value = ? WHERE Property = 'DT_SHORTCUT'
UPDATE Registry SET Value = '#1013760' WHERE Name = 'PrintBandSize'
SELECT * FROM Property
SQL
cat > "$out/sql/conditions.sql" <<'SQL'
SELECT `Key`, Name, Long FROM Kinds WHERE (Short > 0 OR ShortNull IS NULL) AND Long <> 5
SELECT * FROM Kinds WHERE LongNull IS NOT NULL OR Name = ''
UPDATE Kinds SET Name = ?, Short = ? WHERE `Key` = ?
SELECT Key FROM Kinds WHERE Short >= -32767 AND Long <= 2147483647
SQL
cat > "$out/sql/changes.sql" <<'SQL'
INSERT INTO Property (Property, Value) VALUES ('REBOOT', 'ReallySuppress')
INSERT INTO Kinds (`Key`, Name, Short, Long) VALUES (?, ?, ?, ?)
DELETE FROM Registry WHERE Name = 'PrintBandSize' OR Value IS NULL
CREATE TABLE Extra (Id CHAR(72) NOT NULL, N INT, L LONG LOCALIZABLE, T LONGCHAR, B OBJECT PRIMARY KEY Id) HOLD
ALTER TABLE Extra ADD More SHORT HOLD
INSERT INTO Extra (Id, N, More) VALUES ('a', 1, 2)
DROP TABLE Control
ALTER TABLE Property FREE
SQL
cat > "$out/sql/joins.sql" <<'SQL'
SELECT DISTINCT Registry.Name, Property.Value FROM Registry, Property WHERE Registry.Value = Property.Property
SELECT `Kinds`.`Key`, Control.Text FROM Kinds, Control, Property WHERE Kinds.Name = Control.Control AND Property = ? ORDER BY Text, `Key`
SELECT * FROM Property, Kinds WHERE Property.Property = Kinds.Name OR Kinds.Short > 3 ORDER BY Long
SELECT Value FROM Property, Registry
SQL
cat > "$out/sql/errors.sql" <<'SQL'
SELECT Value FROM Nothing
UPDATE Property SET Property = 'x' WHERE Value = 1
SELECT FROM WHERE
DELETE FROM Property
SQL
# Transforms: rows changed, tables added and dropped, a code page, binary
# cells, each between two of the packages above.
if [ -n "${MSI_TRANSFORM:-}" ] && [ -x "$MSI_TRANSFORM" ]; then
    p=$out/packages t=$out/transforms
    cp "$p/program.msi" "$work/edited.msi"
    "$MSI_TRANSFORM" sql "$work/edited.msi" "UPDATE Property SET Value = '0' WHERE Property = 'DT_SHORTCUT'" \
        "UPDATE Registry SET Value = '#1013760' WHERE Name = 'PrintBandSize'" \
        "UPDATE Control SET Text = 'Terms' WHERE Control = 'TermsAndConditionsAgreement'" >/dev/null
    "$MSI_TRANSFORM" generate "$work/edited.msi" "$p/program.msi" "$t/rows.mst" --validation 0x0922
    "$MSI_TRANSFORM" generate "$p/program.msi" "$p/minimal.msi" "$t/tables-added.mst" --error-conditions 0x3F
    "$MSI_TRANSFORM" generate "$p/minimal.msi" "$p/program.msi" "$t/tables-dropped.mst"
    "$MSI_TRANSFORM" generate "$p/cp1252.msi" "$p/minimal.msi" "$t/code-page.mst" --error-conditions 0x20
    "$MSI_TRANSFORM" generate "$p/kinds.msi" "$p/minimal.msi" "$t/kinds.mst"
fi
rm -rf "$work"
ls "$out"/packages "$out"/sql "$out"/transforms
