#!/usr/bin/env bash
# regsvr32 registration of the OCX under wine64, a real script host calling
# it by name, the C++ container creating it by ProgID and CLSID, then
# unregistration. Runs inside the Wine environment of scripts/test.
#   registration_test.sh <Tavrik.ocx> <tavrik_host.exe> <control_surface.js> <k7qvcam.dll>
# The statuses it checks are those of a station without cameras: the virtual
# cameras other tests register in the shared prefix are unregistered first.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
ocx=$1 host=$2 script=$3 cameras=$4
run() { timeout 120 "$root/scripts/wine-run" "$@"; }
run regsvr32 /u /s "Z:${cameras//\//\\}" >/dev/null 2>&1
failures=0
check() {  # description, command...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
absent() { ! "$@"; }

clsid='{51C7A9E3-6F20-4B8D-8E14-C93A0F2D67B5}'
page='{E2F94D17-3A6B-45C0-9D28-6B1C7E0A4F39}'
libid='{A6D03B4F-91E2-4C57-B8A0-1F4E6C2D9E70}'
keys=("HKCR\\CLSID\\$clsid\\InprocServer32" "HKCR\\CLSID\\$clsid\\Control" "HKCR\\CLSID\\$clsid\\MiscStatus"
      "HKCR\\CLSID\\$clsid\\ToolboxBitmap32" "HKCR\\CLSID\\$clsid\\TypeLib" "HKCR\\CLSID\\$clsid\\Version"
      "HKCR\\TAVRIK.TavrikCtrl.1\\CLSID" "HKCR\\CLSID\\$page\\InprocServer32" "HKCR\\TAVRIK.TavrikPropPage.1\\CLSID"
      "HKCR\\TypeLib\\$libid\\1.0")

check "regsvr32 registers" run regsvr32 /s "$ocx"
for key in "${keys[@]}"; do check "key $key" run reg query "$key"; done
check "ThreadingModel Apartment" bash -c "'$root/scripts/wine-run' reg query 'HKCR\\CLSID\\$clsid\\InprocServer32' /v ThreadingModel | grep -q Apartment"
check "MiscStatus 0x20191" bash -c "'$root/scripts/wine-run' reg query 'HKCR\\CLSID\\$clsid\\MiscStatus' | grep -q 131473"
check "no component categories" absent run reg query "HKCR\\CLSID\\$clsid\\Implemented Categories"

echo "-- cscript"
run cscript //nologo "Z:${script//\//\\}"  # a Windows path: a leading "/" would read as an option
cscript_rc=$?
[ "$cscript_rc" -eq 0 ] && echo "ok   cscript statuses" || { echo "FAIL cscript statuses ($cscript_rc)"; failures=$((failures + 1)); }

echo "-- container"
run "$host" --check
[ $? -eq 0 ] && echo "ok   container by ProgID and CLSID" || { echo "FAIL container"; failures=$((failures + 1)); }

echo "-- unload"
hostdir=$(dirname "$host")
rm -f "$hostdir/log.txt"
run "$host" --unload
[ $? -eq 0 ] && echo "ok   module kept while its threads run" || { echo "FAIL module unload"; failures=$((failures + 1)); }
rm -f "$hostdir/log.txt"

check "regsvr32 /u unregisters" run regsvr32 /u /s "$ocx"
for key in "${keys[@]}" "HKCR\\CLSID\\$clsid" "HKCR\\TAVRIK.TavrikCtrl.1"; do check "gone $key" absent run reg query "$key"; done
echo "registration: $failures failed"
[ "$failures" -eq 0 ]
