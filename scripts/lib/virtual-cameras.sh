# Sourced after scripts/lib/wine-env.sh, with DISPLAY and WINEPREFIX set
# (wine_env_start): registers the virtual K7Q eye cameras, and the test rig's
# YUY2 -> RGB32 converter that Wine's video renderer needs, in that prefix.
#   register_virtual_cameras <dir of k7qvcam.dll> [<dir of k7qyuy2rgb.dll>]

register_virtual_cameras() {
  local camera_dir=$1 converter_dir=${2:-$1} dll
  for dll in "$camera_dir/k7qvcam.dll" "$converter_dir/k7qyuy2rgb.dll"; do
    [ -f "$dll" ] || { echo "missing $dll" >&2; return 1; }
    "$WINE64" regsvr32 /s "$(winepath_of "$dll")" >/dev/null 2>&1 ||
      { echo "regsvr32 failed for $dll" >&2; return 1; }
  done
}

# The Z: path Wine maps a Unix path to.
winepath_of() { printf 'Z:%s' "$(realpath "$1" | tr '/' '\\')"; }
