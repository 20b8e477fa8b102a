#!/usr/bin/env bash
# The eye analysis on real eye photographs: iris-eval on the folder named by
# TAVRIK_REAL_EYES (a truth.csv and images/), held to the figures already
# reached. Skipped (77) when the folder is not given.
set -euo pipefail
tool=$1
dir=${TAVRIK_REAL_EYES:-}
if [ -z "$dir" ] || [ ! -f "$dir/truth.csv" ]; then
  echo "TAVRIK_REAL_EYES not set: skipped"
  exit 77
fi
"$tool" "$dir" --floors --sheet "${TMPDIR:-/tmp}/iris-eval-sheet.png"
