#!/usr/bin/env bash
# Whole captures under wine64: the development control (virtual
# microcontroller) in the container host, the virtual eye cameras streaming
# scripted subjects. Runs inside the Wine environment of scripts/test.
#   wine_capture_test.sh <TavrikDev.ocx> <tavrik_host.exe> <k7qvcam.dll dir> <k7qyuy2rgb.dll dir>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
ocx=$1 host=$2 camdir=$3 convdir=$4
source "$root/scripts/lib/wine-env.sh"
source "$root/scripts/lib/virtual-cameras.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trace=$work/hid-trace.txt
: >"$trace"
# The control runs under Wine: it opens these by their Windows names.
export K7Q_SIM_EEPROM=$(winepath_of "$work")\\eeprom.bin K7Q_SIM_TRACE=$(winepath_of "$trace")
failures=0
ok() { echo "ok   $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

# capture NAME SCENARIO METHOD EYE: runs the host, leaves its output in $work/NAME
capture() {
  local name=$1 scenario=$2 method=$3 eye=$4
  mkdir -p "$work/$name"
  K7Q_SCENARIO=$scenario timeout 120 "$root/scripts/wine-run" "$host" --capture "$(winepath_of "$work/$name")" \
    "$method" "$eye" 2>/dev/null | tr -d '\r' >"$work/$name/out.txt"
}
field() { sed -n "s/^$2 //p" "$work/$1/out.txt" | head -1; }

# check_record NAME EYE MIN_SCORE: the saved record and bitmaps as the host received them.
check_record() {
  python3 - "$work/$1" "$2" "$3" <<'PY'
import json, struct, sys
d, eye, minimum = sys.argv[1], sys.argv[2], int(sys.argv[3])
rec = json.load(open(d + "/record.json"))
recs = rec if isinstance(rec, list) else [rec]
def bmp_ok(path):
    b = open(path, "rb").read()
    w, h, bpp = struct.unpack_from("<iiH", b, 18)[0], struct.unpack_from("<i", b, 22)[0], struct.unpack_from("<H", b, 28)[0]
    assert b[:2] == b"BM" and len(b) == 1078 + 640 * 480, "bitmap size"
    assert (w, h, bpp) == (640, 480, 8), "bitmap geometry"
    px = b[1078:]
    dark = [i for i, v in enumerate(px) if v < 30]
    assert len(dark) > 500, "no pupil in the view"
    cx = sum(i % 640 for i in dark) / len(dark); cy = 479 - sum(i // 640 for i in dark) / len(dark)
    assert abs(cx - 320) < 80 and abs(cy - 240) < 80, "iris not at the view centre (%d,%d)" % (cx, cy)
for r in recs:
    assert r["flgResult"] == "0", r["flgResult"]
    if eye in ("2", "3"): assert int(r["zy_xxzlpf"]) >= minimum, r["zy_xxzlpf"]
    if eye in ("1", "3"): assert int(r["yy_xxzlpf"]) >= minimum, r["yy_xxzlpf"]
    if eye == "1": assert r["hmzp_zy"] == ""
    if eye == "2": assert r["hmzp_yy"] == ""
if eye in ("2", "3"): bmp_ok(d + "/left.bmp")
if eye in ("1", "3"): bmp_ok(d + "/right.bmp")
print(len(recs))
PY
}

register_virtual_cameras "$camdir" "$convdir" || fail "virtual cameras registered"
timeout 120 "$root/scripts/wine-run" regsvr32 /s "$ocx" || fail "development control registered"

capture both well-placed StartCapture 3
serial=$(field both serial)
if [ "$(field both status)" = 0 ] && check_record both 3 60 >/dev/null; then
  ok "both eyes of the well-placed subject in $(field both elapsed_ms) ms"
else
  fail "both eyes: $(cat "$work/both/out.txt")"
fi
[ -n "$serial" ] && [ "$(field both sbbh)" = "$serial" ] && ok "sbbh is the device's serial $serial" || fail "sbbh"
# The microcontroller saw the capture's commands in order (trace: one line per report).
python3 - "$trace" <<'PY' && ok "HID commands of the capture in order" || fail "HID commands: $(head -c 600 "$trace")"
import re, sys
codes = [int(m.group(1), 16) for l in open(sys.argv[1]) for m in [re.search(r"command code=0x([0-9A-Fa-f]+)", l)] if m]
s = " ".join(map(str, codes))
assert re.search(r"\b51 51 60( 53)+ 58\b", s), s
assert s.endswith("61 52"), s
PY

for eye in 1 2; do
  capture "eye$eye" well-placed StartCapture "$eye"
  [ "$(field "eye$eye" status)" = 0 ] && check_record "eye$eye" "$eye" 60 >/dev/null && ok "eye type $eye" ||
    fail "eye type $eye: $(cat "$work/eye$eye/out.txt")"
done

capture force well-placed StartCaptureForce 3
[ "$(field force status)" = 0 ] && check_record force 3 0 >/dev/null && ok "forced capture" || fail "forced capture"

capture steptwo well-placed StartCaptureStepTwo 3
[ "$(field steptwo status)" = 0 ] && [ "$(check_record steptwo 3 60)" = 2 ] && ok "step two: one event, two records" ||
  fail "step two: $(cat "$work/steptwo/out.txt")"

capture nobody never-looks-in StartCapture 3
ms=$(field nobody elapsed_ms)
[ "$(field nobody status)" = -2 ] && [ "${ms:-0}" -ge 20000 ] && ok "nobody looks in: -2 after $ms ms" ||
  fail "nobody looks in: $(cat "$work/nobody/out.txt")"

# ExtraceImage on a stored 720x720 eye: the captured left view set into a
# 720x720 bottom-up 8-bit bitmap, the iris near its centre.
python3 - "$work/both/left.bmp" "$work/eye720.bmp" <<'PY'
import struct, sys
src = open(sys.argv[1], "rb").read()
rows = [src[1078 + r * 640:1078 + (r + 1) * 640] for r in range(480)]  # bottom-up
pixels = bytearray([128]) * (720 * 720)
for r in range(480):
    o = (120 + r) * 720 + 40
    pixels[o:o + 640] = rows[r]
header = b"BM" + struct.pack("<IHHI", 1078 + len(pixels), 0, 0, 1078)
info = struct.pack("<IiiHHIIiiII", 40, 720, 720, 1, 8, 0, len(pixels), 0, 0, 0, 0)
palette = b"".join(bytes([i, i, i, 0]) for i in range(256))
open(sys.argv[2], "wb").write(header + info + palette + bytes(pixels))
PY
timeout 120 "$root/scripts/wine-run" "$host" --extract "$(winepath_of "$work/eye720.bmp")" 2>/dev/null | tr -d '\r' >"$work/extract.txt"
grep -q "^ExtraceImage 0" "$work/extract.txt" && ok "ExtraceImage finds the iris of a stored eye" ||
  fail "ExtraceImage: $(cat "$work/extract.txt")"

# Unplugged during a capture: the capture ends, the warning shows, the device needs IrisInit again.
control=$work/camera-control.txt
: >"$control"
# The warning's text is code page 936: the prefix runs with that ANSI code page.
LC_ALL=zh_CN.UTF-8 K7Q_SCENARIO=never-looks-in K7Q_CAMERA_CONTROL=$(winepath_of "$control") timeout 120 "$root/scripts/wine-run" \
  "$host" --unplug "$(winepath_of "$control")" 2>/dev/null | tr -d '\r' >"$work/unplug.txt"
grep -q "^capture ended yes" "$work/unplug.txt" && ok "unplug ends the capture" || fail "unplug: $(cat "$work/unplug.txt")"
grep -q "^warning box found" "$work/unplug.txt" && grep -q "^warning box closed yes" "$work/unplug.txt" &&
  ok "warning box found by its caption and closed" || fail "warning box: $(cat "$work/unplug.txt")"
grep -q "^StartCapture after loss -6" "$work/unplug.txt" && ok "StartCapture -6 after the loss" || fail "start after loss"
grep -q "^IrisInit again 0" "$work/unplug.txt" && ok "the next IrisInit reopens" || fail "reopen after loss"

# The right camera's loss is seen as the left one's is.
: >"$control"
LC_ALL=zh_CN.UTF-8 K7Q_SCENARIO=never-looks-in K7Q_CAMERA_CONTROL=$(winepath_of "$control") timeout 120 "$root/scripts/wine-run" \
  "$host" --unplug "$(winepath_of "$control")" right 2>/dev/null | tr -d '\r' >"$work/unplug-right.txt"
grep -q "^capture ended yes" "$work/unplug-right.txt" && grep -q "^warning box found" "$work/unplug-right.txt" &&
  grep -q "^StartCapture after loss -6" "$work/unplug-right.txt" && ok "the right camera's loss ends the capture" ||
  fail "right unplug: $(cat "$work/unplug-right.txt")"

# hosts SCENARIO: the host's real-page scenario; the process must also exit.
hosts() {
  K7Q_SCENARIO=well-placed timeout 90 "$root/scripts/wine-run" "$host" --hosts "$1" 2>/dev/null | tr -d '\r' >"$work/hosts-$1.txt"
  local rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] && ok "$1: the host process exits" || fail "$1: host exit $rc: $(cat "$work/hosts-$1.txt")"
}
has() { grep -qx "$2" "$work/hosts-$1.txt" && ok "$1: $2" || fail "$1: no '$2' in: $(cat "$work/hosts-$1.txt")"; }
within() {  # scenario line-prefix max-ms
  local ms
  ms=$(sed -n "s/^$2.* in \([0-9]*\) ms$/\1/p" "$work/hosts-$1.txt" | head -1)
  [ -n "$ms" ] && [ "$ms" -le "$3" ] && ok "$1: $2 in $ms ms" || fail "$1: $2 took ${ms:-?} ms (at most $3)"
}
hosts reload
has reload "page 2 IrisInit 0"
has reload "page 2 status 0"
within reload "page 1 released" 1500
hosts two-controls
has two-controls "second IrisInit -1"
has two-controls "second ExtraceImage -107"
has two-controls "second StartCapture -107"
has two-controls "first status 0"
has two-controls "second events 0"
hosts handler
within handler "IrisClose in OnCapture 0" 1500
has handler "IrisInit after close in handler 0"
within handler "released in OnCapture yes" 1500
has handler "IrisInit after release in handler 0"
has handler "after release in handler status 0"

# A host that ends without releasing its control (device open, capture running) still exits, and soon.
leak_start=$SECONDS
K7Q_SCENARIO=well-placed timeout 30 "$root/scripts/wine-run" "$host" --hosts leak >"$work/hosts-leak.txt" 2>/dev/null
rc=$?
[ "$rc" -eq 0 ] && ok "leak: the host exits after $((SECONDS - leak_start)) s" || fail "leak: host exit $rc"

# A microcontroller that never answers costs the window one time-out per session.
K7Q_SIM_MODE=silent hosts silent
within silent "GetDeivceSn" 1500
within silent "IrisInit 0" 1500
within silent "StartCapture 0" 300
has silent "capture status 0"
within silent "capture ended" 3000
within silent "StopCapture 0" 1500
within silent "IrisClose 0" 1000

timeout 120 "$root/scripts/wine-run" regsvr32 /u /s "$ocx" || fail "development control unregistered"
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
