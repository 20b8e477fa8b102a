#!/usr/bin/env bash
# Runs the console samples (JScript and VBScript) under cscript against the
# development control (virtual microcontroller) and the virtual cameras, and
# checks what they print: the device opened, the virtual device's serial, the
# capture started, the device closed. Runs inside the Wine environment of
# scripts/test.
#   run_samples.sh <development Tavrik.ocx> <camera dll dir> <converter dll dir> <samples dir>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/wine-env.sh"
source "$root/scripts/lib/virtual-cameras.sh"
ocx=$1 camera_dir=$2 converter_dir=$3 samples=$4
run() { timeout 120 "$root/scripts/wine-run" "$@"; }
failures=0
expect() {  # output, line pattern, description
  if grep -qE "$2" <<<"$1"; then echo "ok   $3"; else echo "FAIL $3"; failures=$((failures + 1)); fi
}

register_virtual_cameras "$camera_dir" "$converter_dir" || exit 1
run regsvr32 /s "$(winepath_of "$ocx")" || { echo "FAIL regsvr32 $ocx"; exit 1; }
for sample in capture.js capture.vbs; do
  raw=$(cd "$samples" && run cscript //nologo "$(winepath_of "$samples/$sample")" 3 2>&1)
  rc=$?
  out=$(tr -d '\r' <<<"$raw")
  echo "-- $sample"; echo "$out"
  expect "$out" '^IrisInit: 0$' "$sample opens the device"
  expect "$out" '^serial: 880312040517$' "$sample reads the virtual device's serial"
  expect "$out" '^StartCapture: 0$' "$sample starts a capture"
  expect "$out" '^(OnCapture: 0 flgResult 0 id [0-9a-f]{32} |this script host cannot wait for events; StopCapture: 0)' \
    "$sample sees the capture end"
  expect "$out" '^IrisClose: 0$' "$sample closes the device"
  [ "$rc" -eq 0 ] || { echo "FAIL $sample exit code $rc"; failures=$((failures + 1)); }
done
run regsvr32 /u /s "$(winepath_of "$ocx")"
echo "samples: $failures failed"
[ "$failures" -eq 0 ]
