#!/usr/bin/env bash
# Registers the virtual cameras and the converter in the test prefix, then
# runs the capture graph tests with a camera control file of their own.
#   run_camera_graph_tests.sh <test exe> <camera dll dir> <converter dll dir> <report xml>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/wine-env.sh"
source "$root/scripts/lib/virtual-cameras.sh"
exe=$1 camera_dir=$2 converter_dir=$3 report=$4

own_env=0
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  wine_env_start "$root/build/win64/wineprefix" || exit 1
  own_env=1
fi
control=$(mktemp /tmp/k7q-camera-control.XXXXXX)
export K7Q_CAMERA_CONTROL
K7Q_CAMERA_CONTROL=$(winepath_of "$control")
register_virtual_cameras "$camera_dir" "$converter_dir" &&
  timeout 300 "$root/scripts/wine-run" "$exe" "--gtest_output=xml:$(winepath_of "$report")"
rc=$?
rm -f "$control"
[ "$own_env" = 1 ] && wine_env_stop
exit $rc
