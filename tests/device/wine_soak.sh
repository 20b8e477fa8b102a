#!/usr/bin/env bash
# The mixed-use soak under wine64, outside the test command: the development
# control on the virtual device in the container host, rounds of IrisInit,
# a full capture, a stopped one, a forced one, a two-step one and IrisClose
# for the given time, resident and private memory at the start, every minute
# and at the end. Needs the win64 tree built (scripts/test or scripts/demo).
#   tests/device/wine_soak.sh [seconds [kinds]]   (default 600, "ifstwc")
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
seconds=${1:-600} kinds=${2:-ifstwc}
source scripts/lib/wine-env.sh
source scripts/lib/virtual-cameras.sh
wine_env_start "$root/build/win64/wineprefix" || exit 1
register_virtual_cameras build/win64/sim/camera build/win64/tests/camera >/dev/null 2>&1 &&
  timeout 120 scripts/wine-run regsvr32 /s build/win64/control/TavrikDev.ocx || { wine_env_stop; exit 1; }
K7Q_SCENARIO=well-placed timeout $((seconds + 300)) scripts/wine-run build/win64/host/tavrik_host.exe \
  --soak "$seconds" "$kinds" 2>/dev/null | tr -d '\r'
rc=${PIPESTATUS[0]}
timeout 120 scripts/wine-run regsvr32 /u /s build/win64/control/TavrikDev.ocx
wine_env_stop
exit "$rc"
