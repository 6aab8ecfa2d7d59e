#!/usr/bin/env bash
# Instructions per frame of the whole show on the device that draws nothing:
# callgrind over two runs of different lengths, so start-up cancels out, and
# the functions that dominate a frame.
#   bench/show_frame/instructions.sh SHOW_FRAME_BINARY ASSETS_DIR
set -euo pipefail
bin="$1" assets="$2"
command -v valgrind >/dev/null || { echo "instructions: valgrind is not installed"; exit 0; }
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
short=300 long=1500
total() { valgrind --tool=callgrind --callgrind-out-file="$work/$1.out" "$bin" "$assets" "$1" >/dev/null 2>"$work/$1.log"
          sed -n 's/^summary: //p' "$work/$1.out"; }
a=$(total $short); b=$(total $long)
echo "instructions: $(( (b - a) / (long - short) )) a frame ($short and $long frames: $a and $b in all)"
echo "instructions: where the longer run's time goes (inclusive, top functions):"
callgrind_annotate --inclusive=yes "$work/$long.out" 2>/dev/null | sed -n '/PROGRAM TOTALS/,$p' |
  grep -E '^ *[0-9,]+ \(' | grep -vE 'PROGRAM TOTALS|below main|libc-start|ld-linux|:main \[|Show::Frame|RunFrame|TimedPass|DrawFrame|_M_invoke' |
  sed -E 's/ \[[^]]*\]$//; s#[^ ]*/src/##; s#\.\./##g' | awk '!seen[$0]++' | head -16 || true
