#!/usr/bin/env bash
# The x86_64 installer package under wine64: msiexec /i installs the OCX into
# Program Files and writes the control's keys; a script host then creates the
# control by ProgID; a newer package replaces the installed one; msiexec /x
# leaves no key and no file. Runs inside the Wine environment of scripts/test.
#   msi_install_test.sh <package.msi> <tavrik.wxs> <release dir> <client.js>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
msi=$1 wxs=$2 release=$3 client=$4
run() { timeout 180 "$root/scripts/wine-run" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }
failures=0
check() {  # description, command...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
absent() { ! "$@"; }
products() { run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
             grep -c 'DisplayName.*Tavrik ActiveX Control'; }

clsid='{51C7A9E3-6F20-4B8D-8E14-C93A0F2D67B5}'
page='{E2F94D17-3A6B-45C0-9D28-6B1C7E0A4F39}'
libid='{A6D03B4F-91E2-4C57-B8A0-1F4E6C2D9E70}'
keys=("HKCR\\CLSID\\$clsid\\InprocServer32" "HKCR\\CLSID\\$clsid\\Control" "HKCR\\CLSID\\$clsid\\MiscStatus"
      "HKCR\\CLSID\\$clsid\\ToolboxBitmap32" "HKCR\\CLSID\\$clsid\\TypeLib" "HKCR\\TAVRIK.TavrikCtrl.1\\CLSID"
      "HKCR\\CLSID\\$page\\InprocServer32" "HKCR\\TAVRIK.TavrikPropPage.1\\CLSID" "HKCR\\TypeLib\\$libid\\1.0\\0\\win64"
      "HKCR\\Interface\\{3F1A6C20-5B7E-4D2A-9C41-7E2B8D05A1C3}\\TypeLib")
installed="$WINEPREFIX/drive_c/Program Files/Tavrik/Tavrik.ocx"

check "msiexec /i installs" run msiexec /i "$(winpath "$msi")" /qn "ALLOWEDSITES=https://enrol.example;http://intranet:8080"
check "the allowed sites are written" bash -c "'$root/scripts/wine-run' reg query 'HKLM\\SOFTWARE\\Tavrik' /v AllowedSites | grep -q 'https://enrol.example;http://intranet:8080'"
check "Tavrik.ocx in Program Files" test -f "$installed"
for key in "${keys[@]}"; do check "key $key" run reg query "$key"; done
check "InprocServer32 names the installed file" bash -c "'$root/scripts/wine-run' reg query 'HKCR\\CLSID\\$clsid\\InprocServer32' | grep -qi 'Program Files\\\\Tavrik\\\\Tavrik.ocx'"
check "cscript creates the control by ProgID" run cscript //nologo "$(winpath "$client")"

# A newer version of the same product replaces the installed one.
upgrade=$(mktemp -d)
cp "$release/Tavrik.ocx" "$upgrade/"
sed 's/Version="1\.0\.0"/Version="1.0.1"/' "$wxs" >"$upgrade/tavrik.wxs"
(cd "$upgrade" && wixl -a x64 -o Tavrik-1.0.1-x64.msi tavrik.wxs >/dev/null 2>&1)
check "msiexec /i of version 1.0.1 installs" run msiexec /i "$(winpath "$upgrade/Tavrik-1.0.1-x64.msi")" /qn
check "one product after the upgrade" test "$(products)" -eq 1
check "cscript after the upgrade" run cscript //nologo "$(winpath "$client")"

check "msiexec /x uninstalls" run msiexec /x "$(winpath "$upgrade/Tavrik-1.0.1-x64.msi")" /qn
rm -rf "$upgrade"
check "no product left" test "$(products)" -eq 0
check "no Tavrik.ocx left" test ! -e "$installed"
check "no Tavrik folder left" test ! -e "$(dirname "$installed")"
check "the allowed sites are gone" absent run reg query 'HKLM\SOFTWARE\Tavrik' /v AllowedSites
for key in "${keys[@]}" "HKCR\\CLSID\\$clsid" "HKCR\\CLSID\\$page" "HKCR\\TAVRIK.TavrikCtrl.1" "HKCR\\TypeLib\\$libid"; do
  check "gone $key" absent run reg query "$key"
done
echo "installer: $failures failed"
[ "$failures" -eq 0 ]
