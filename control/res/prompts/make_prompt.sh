#!/usr/bin/env bash
# Speaks one voice prompt of prompts.txt into a WAVE file the control embeds:
# PCM, 16-bit, stereo, 44100 Hz, 1.3 to 2.3 seconds, silence trimmed,
# peak-normalised, with a short lead-in and tail.
#   make_prompt.sh <prompts.txt> <id> <out.wav>
# ESPEAK_NG and SOX name the programs when they are not on the PATH.
set -euo pipefail
table=$1 id=$2 out=$3
espeak=${ESPEAK_NG:-espeak-ng} sox=${SOX:-sox}
export LC_ALL=C.UTF-8

# The spoken length is kept inside [MIN, MAX] seconds, pads included.
LEAD=0.05 TAIL=0.10 MIN=1.40 MAX=2.00

text=$(awk -F'|' -v id="$id" '$1 !~ /^#/ && $1 + 0 == id { gsub(/^ +| +$/, "", $3); print $3 }' "$table")
[ -n "$text" ] || { echo "make_prompt: no text for prompt $id in $table" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pinyin variant of the Mandarin voice reads the Han characters through
# its own dictionary; the plain "cmn" voice of espeak-ng 1.51 reads the
# romanisation it derives as English words.
"$espeak" -v cmn-latn-pinyin -b 1 -s 165 -w "$work/raw.wav" "$text"
"$sox" -q "$work/raw.wav" -e signed-integer -b 16 "$work/speech.wav" \
  silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse gain -6 rate -h 44100 channels 2

speech=$("$sox" --i -D "$work/speech.wav")
read -r tempo tail < <(awk -v d="$speech" -v lead="$LEAD" -v tail="$TAIL" -v lo="$MIN" -v hi="$MAX" 'BEGIN {
  room = hi - lead - tail; t = 1.0
  if (d > room) { t = d / room; d = room }
  if (lead + d + tail < lo) tail = lo - lead - d
  printf "%.4f %.4f\n", t, tail }')

echo "prompt $id: speech $speech s, tempo $tempo" >&2
effects=()
[ "$tempo" != "1.0000" ] && effects+=(tempo -s "$tempo")
"$sox" -q "$work/speech.wav" -e signed-integer -b 16 -r 44100 -c 2 "$work/out.wav" \
  "${effects[@]}" norm -1 pad "$LEAD" "$tail"

length=$("$sox" --i -D "$work/out.wav")
awk -v d="$length" 'BEGIN { exit !(d >= 1.3 && d <= 2.3) }' ||
  { echo "make_prompt: prompt $id lasts $length s, outside 1.3-2.3 s" >&2; exit 1; }
mv "$work/out.wav" "$out"
