#!/usr/bin/env bash
# Inspects the release files of each architecture: the shipped OCX carries no
# debug information but a debug link to Tavrik.ocx.debug (which does), both
# carry the version resource, and the installer package holds the OCX with the
# registry keys of the control, for the right architecture and in language 2052.
#   inspect_release.sh <triple>:<release dir> ...
set -uo pipefail
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

for pair in "$@"; do
  triple=${pair%%:*} dir=${pair#*:}
  ocx=$dir/Tavrik.ocx debug=$dir/Tavrik.ocx.debug
  msi=$(ls "$dir"/Tavrik-*.msi 2>/dev/null | head -n1)
  [ -f "$ocx" ] && [ -f "$debug" ] && [ -n "$msi" ] || { fail "$dir lacks the OCX, its debug file or the package"; continue; }
  sections=$("$triple-objdump" -h "$ocx")
  grep -q '\.debug_' <<<"$sections" && fail "$ocx still carries debug sections"
  grep -q '\.gnu_debuglink' <<<"$sections" || fail "$ocx has no debug link"
  "$triple-objdump" -h "$debug" | grep -q '\.debug_info' || fail "$debug holds no debug information"
  "$triple-objdump" -s -j .gnu_debuglink "$ocx" | grep -q 'Tavrik.ocx.debug' ||
    fail "$ocx's debug link does not name Tavrik.ocx.debug"
  resources=$("$triple-windres" -i "$ocx" -O rc 2>/dev/null)
  for want in 'VERSIONINFO' 'VALUE "FileVersion", "1\.0\.0"' 'VALUE "CompanyName"' 'VALUE "FileDescription"' \
              'VALUE "ProductVersion", "1\.0\.0"'; do
    grep -q "$want" <<<"$resources" || fail "$ocx lacks $want"
  done

  case $triple in x86_64*) template='x64;' kind=win64 ;; *) template='Intel;' kind=win32 ;; esac
  # Tables are read whole first: grep -q would end the reader early (pipefail).
  summary=$(msiinfo suminfo "$msi") properties=$(msiinfo export "$msi" Property) files=$(msiinfo export "$msi" File)
  upgrades=$(msiinfo export "$msi" Upgrade)
  grep -q "Template: $template" <<<"$summary" || fail "$msi is not for $template"
  grep -q $'^ProductLanguage\t2052' <<<"$properties" || fail "$msi is not in language 2052"
  grep -q $'\tTavrik.ocx\t'"$(stat -c %s "$ocx")" <<<"$files" || fail "$msi does not carry this Tavrik.ocx"
  registry=$(msiinfo export "$msi" Registry | tr -d '\0')
  for key in 'CLSID\{51C7A9E3-6F20-4B8D-8E14-C93A0F2D67B5}\InprocServer32' 'TAVRIK.TavrikCtrl.1\CLSID' \
             'CLSID\{E2F94D17-3A6B-45C0-9D28-6B1C7E0A4F39}\InprocServer32' 'TAVRIK.TavrikPropPage.1\CLSID' \
             "TypeLib\\{A6D03B4F-91E2-4C57-B8A0-1F4E6C2D9E70}\\1.0\\0\\$kind" \
             'Interface\{3F1A6C20-5B7E-4D2A-9C41-7E2B8D05A1C3}\TypeLib'; do
    grep -qF "$key" <<<"$registry" || fail "$msi lacks registry key $key"
  done
  grep -q WIX_UPGRADE_DETECTED <<<"$upgrades" || fail "$msi does not replace older versions"
  printf 'release %s: Tavrik.ocx %d bytes, Tavrik.ocx.debug %d bytes, %s %d bytes\n' "$triple" \
    "$(stat -c %s "$ocx")" "$(stat -c %s "$debug")" "$(basename "$msi")" "$(stat -c %s "$msi")"
done
echo "release inspection: $failures failed"
[ "$failures" -eq 0 ]
