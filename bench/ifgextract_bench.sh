#!/usr/bin/env bash
# Times ifgextract against the plain printf rendering of the same lines, in
# both decoding modes, output to /dev/null, on one generated telemetry file.
# The two programs run in turn (A B A B ...) so that drift of the machine
# hits both alike; the median of the per-pair ratios is reported.
#
# usage: bench/ifgextract_bench.sh [BUILD_DIR] [RECORDS] [PAIRS]
set -euo pipefail
build=${1:-build}
records=${2:-2000}   # 2000 records are 21.5 MB
pairs=${3:-11}

tool=$build/ifgextract/ifgextract
plain=$build/bench/ifgextract_stdio
synth=$build/tlmsynth/tlmsynth
for p in "$tool" "$plain" "$synth"; do
  [ -x "$p" ] || { echo "ifgextract_bench: $p not built (cmake --build $build)" >&2; exit 1; }
done

data=$(mktemp "${TMPDIR:-/tmp}/ifgbench.XXXXXX")
trap 'rm -f "$data"' EXIT
"$synth" -n "$records" -k 7 -S 50 -s 5x300,7x30,-1x6 -o "$data"
echo "file: $records records, $(stat -c %s "$data") bytes"

# Wall seconds of one run, output to /dev/null.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo "$(( end - start ))"
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

for mode in two-detector carriage; do
  flag=""; [ "$mode" = carriage ] && flag="-c"
  # Same bytes first: a fast wrong answer is worth nothing.
  if ! cmp -s <("$tool" $flag -F "$data" 2>&1) <("$plain" $flag "$data" 2>&1); then
    echo "ifgextract_bench: output differs from the plain rendering ($mode)" >&2
    exit 1
  fi
  cat "$data" >/dev/null  # into the page cache
  fast=(); slow=(); ratios=()
  for ((i = 0; i < pairs; i++)); do
    f=$(seconds "$tool" $flag -F "$data")
    s=$(seconds "$plain" $flag "$data")
    fast+=("$f"); slow+=("$s")
    ratios+=("$(awk -v s="$s" -v f="$f" 'BEGIN {printf "%.2f", s / f}')")
  done
  printf '%-13s ifgextract %7.1f ms   printf %7.1f ms   median ratio %5.1f x  (%d pairs)\n' "$mode" \
    "$(printf '%s\n' "${fast[@]}" | median | awk '{print $1 / 1e6}')" \
    "$(printf '%s\n' "${slow[@]}" | median | awk '{print $1 / 1e6}')" \
    "$(printf '%s\n' "${ratios[@]}" | median)" "$pairs"
done
