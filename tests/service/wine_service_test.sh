#!/usr/bin/env bash
# The Windows capture service under wine64: the development build (virtual
# microcontroller) on the virtual eye cameras, asked over HTTP from the Linux
# side as a page on the same machine would. Runs inside the Wine environment
# of scripts/test.
#   wine_service_test.sh <tavrik-capture-service-dev.exe> <k7qvcam.dll dir> <k7qyuy2rgb.dll dir>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1 camdir=$2 convdir=$3
source "$root/scripts/lib/wine-env.sh"
source "$root/scripts/lib/virtual-cameras.sh"
work=$(mktemp -d)
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill -- -"$service_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
ok() { echo "ok   $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

register_virtual_cameras "$camdir" "$convdir" || fail "virtual cameras registered"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export K7Q_SIM_EEPROM=$(winepath_of "$work")\\eeprom.bin K7Q_SCENARIO=well-placed
setsid "$root/scripts/wine-run" "$exe" --port "$port" --allow-origin http://127.0.0.1:9 >"$work/service.txt" 2>&1 &
service_pid=$!

# The whole conversation, from Python on the Linux side; one line per check.
python3 - "$port" >"$work/checks.txt" 2>&1 <<'PY'
import base64, json, struct, sys, time, urllib.error, urllib.request
port = int(sys.argv[1])
base = "http://127.0.0.1:%d" % port

def call(method, path, body=None, headers=None, timeout=60):
    data = None if body is None else json.dumps(body).encode()
    req = urllib.request.Request(base + path, data=data, method=method, headers=headers or {})
    if data is not None:
        req.add_header("Content-Type", "application/json")
    try:
        with urllib.request.urlopen(req, timeout=timeout) as r:
            return r.status, r.headers, json.loads(r.read())
    except urllib.error.HTTPError as e:
        return e.code, e.headers, json.loads(e.read())

def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + ("" if condition else ": " + str(detail)), flush=True)

def pupil_centre(b64):
    b = base64.b64decode(b64)
    assert b[:2] == b"BM" and len(b) == 1078 + 640 * 480, "bitmap size %d" % len(b)
    px = b[1078:]
    dark = [i for i, v in enumerate(px) if v < 30]
    assert len(dark) > 500, "no pupil in the view"
    return sum(i % 640 for i in dark) / len(dark), 479 - sum(i // 640 for i in dark) / len(dark)

deadline = time.time() + 90
while True:
    try:
        status, _, info = call("GET", "/v1/device", timeout=5)
        break
    except OSError:
        if time.time() > deadline:
            check("the service answers within 90 s", False, "no answer")
            sys.exit(1)
        time.sleep(0.5)
check("the service answers, device closed", status == 200 and info["open"] is False, info)
status, _, body = call("POST", "/v1/device/open")
check("open", status == 200 and body["status"] == 0, body)
status, _, info = call("GET", "/v1/device")
check("the device's serial after open", info["open"] and info["serial"], info)
start = time.time()
status, _, body = call("POST", "/v1/capture", {"eye": "both"})
elapsed = int((time.time() - start) * 1000)
try:
    record = body["record"]
    good = status == 200 and body["status"] == 0 and record["sbbh"] == info["serial"]
    for key, score in (("hmzp_zy", "zy_xxzlpf"), ("hmzp_yy", "yy_xxzlpf")):
        x, y = pupil_centre(record[key])
        good = good and abs(x - 320) < 80 and abs(y - 240) < 80 and int(record[score]) >= 60
    check("both eyes captured over HTTP in %d ms" % elapsed, good, body.get("status"))
except Exception as e:
    check("both eyes captured over HTTP", False, "%s: %s" % (type(e).__name__, str(body)[:300]))
status, _, body = call("GET", "/v1/events?after=0&wait=0")
check("the capture's prompts as events", status == 200 and any(e["prompt"] == "success" for e in body["events"]), body)
# Two seconds of the left camera's preview: whole 480 x 360 bitmaps, as the camera delivers them.
def preview_parts(path, seconds):
    import http.client
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    conn.request("GET", path)
    response = conn.getresponse()  # the chunked body comes back whole
    data, end = b"", time.time() + seconds
    while time.time() < end:
        chunk = response.read1(1 << 20)
        if not chunk:
            break
        data += chunk
    conn.close()
    parts = []
    at = data.find(b"--frame\r\n")
    while at >= 0:
        head = data.find(b"\r\n\r\n", at)
        length = int(data[at:head].split(b"Content-Length: ")[1])
        if head < 0 or len(data) < head + 4 + length:
            break
        parts.append(data[head + 4:head + 4 + length])
        at = data.find(b"--frame\r\n", head + 4 + length)
    return response.status, parts
status, parts = preview_parts("/v1/preview/left", 2)
whole = [p for p in parts if p[:2] == b"BM" and len(p) == 1078 + 480 * 360]
check("the left preview: %d frames in 2 s" % len(parts), status == 200 and len(whole) == len(parts) >= 20
      and len(set(whole)) > len(whole) // 2, (status, len(parts), len(whole)))
status, _, body = call("GET", "/v1/device", headers={"Host": "evil.example:%d" % port})
check("a foreign Host is refused", status in (400, 403, 421) and "error" in body, (status, body))
status, headers, body = call("GET", "/v1/device", headers={"Origin": "http://127.0.0.1:9"})
check("an allowed origin gets CORS", headers.get("Access-Control-Allow-Origin") == "http://127.0.0.1:9", dict(headers))
status, _, body = call("POST", "/v1/device/close")
check("close", status == 200 and body["status"] == 0, body)
PY
cat "$work/checks.txt"
grep -q "^FAIL\|Traceback" "$work/checks.txt" && failures=$((failures + 1))
[ "$(grep -c '^ok' "$work/checks.txt")" -ge 9 ] || fail "not every check ran: $(tail -5 "$work/service.txt")"
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
