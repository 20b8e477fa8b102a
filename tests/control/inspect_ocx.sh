#!/usr/bin/env bash
# Inspects built OCX files: the four COM entry points are exported by their
# plain names, and the type library, the standby picture, the dialogs and the
# strings and the image-judge module are among the resources, in language 2052.
#   inspect_ocx.sh <triple>:<file> ...
set -uo pipefail
failures=0
for pair in "$@"; do
  triple=${pair%%:*} file=${pair#*:}
  if [ ! -f "$file" ]; then
    echo "FAIL $file not built"; failures=$((failures + 1)); continue
  fi
  exports=$("$triple-objdump" -p "$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  for name in DllRegisterServer DllUnregisterServer DllGetClassObject DllCanUnloadNow; do
    grep -q "\] $name\$" <<<"$exports" || { echo "FAIL $file does not export $name"; failures=$((failures + 1)); }
  done
  resources=$("$triple-windres" -i "$file" -O rc 2>/dev/null)
  for want in 'LANGUAGE 4, 2' '^1 "TYPELIB"' '^201 2 /\* RT_BITMAP' '^1 DIALOG 0, 0, 170, 62' \
              'CAPTION "About Tavrik Control"' '^200 DIALOG 0, 0, 250, 62' 'Tavrik Control, Version 1.0' \
              '"Tavrik Property Page"' '"General"' '^216 "MODE"'; do
    grep -q "$want" <<<"$resources" || { echo "FAIL $file lacks resource: $want"; failures=$((failures + 1)); }
  done
  echo "inspected $file"
done
echo "inspection: $failures failed"
[ "$failures" -eq 0 ]
