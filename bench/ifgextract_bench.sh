#!/usr/bin/env bash
# Times ifgextract in both decoding modes, output to /dev/null, on two
# generated telemetry files of the same length:
#   smooth  a centre-burst interferogram over noise, gain codes that follow
#           it, 3% of the sample groups without sample flag;
#   noisy   uniformly random detector words, a random 10% of the groups
#           without sample flag, a gain code moving by a random 1 to 3 steps
#           at every group: no branch on the data can be predicted.
# Each run is set against two yardsticks: the plain printf rendering of the
# same lines (tests/support/ifgextract_stdio), and cat moving the same output bytes,
# saved to a file first, to /dev/null.  The three run in turn (ifgextract,
# plain, cat, ifgextract, ...) so that drift of the machine hits all alike;
# the medians of the per-round ratios are reported: plain/ifgextract (how
# many times faster than the plain rendering) and ifgextract/cat (how many
# times the time of moving the output bytes).
#
# usage: bench/ifgextract_bench.sh [BUILD_DIR [RECORDS [ROUNDS]]]
#   BUILD_DIR  build tree holding ifgextract/, tests/support/, tlmsynth/ (default: build)
#   RECORDS    records per file (default: 2000, 21.5 MB)
#   ROUNDS     timed rounds per file and mode (default: 11)
set -euo pipefail
. "$(dirname "$0")/timing.sh"
build=${1:-build}
records=${2:-2000}
rounds=${3:-11}

tool=$build/ifgextract/ifgextract
plain=$build/tests/support/ifgextract_stdio
synth=$build/tlmsynth/tlmsynth
for p in "$tool" "$plain" "$synth"; do
  [ -x "$p" ] || { echo "ifgextract_bench: $p not built (cmake --build $build)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/ifgbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
common=(-n "$records" -k 7 -S 50 -s 5x300,7x30,-1x6)
"$synth" "${common[@]}" -o "$work/smooth"
"$synth" "${common[@]}" -u -g -d 10 -o "$work/noisy"

ms_of() { printf '%s\n' "$@" | median | awk '{printf "%.1f", $1 / 1e3}'; }

echo "files: $records records, $(stat -c %s "$work/smooth") bytes each; $rounds rounds"
printf '%-7s %-13s %8s %13s %9s %8s %17s %15s\n' file mode 'out MB' 'ifgextract ms' 'plain ms' 'cat ms' \
  'plain/ifgextract' 'ifgextract/cat'
for file in smooth noisy; do
  data=$work/$file
  for mode in two-detector carriage; do
    flag=""
    [ "$mode" = carriage ] && flag="-c"
    # Same bytes first: a fast wrong answer is worth nothing.
    if ! cmp -s <("$tool" $flag -F "$data" 2>&1) <("$plain" $flag "$data" 2>&1); then
      echo "ifgextract_bench: output differs from the plain rendering ($file, $mode)" >&2
      exit 1
    fi
    saved=$work/output
    "$tool" $flag -F "$data" >"$saved" 2>/dev/null
    cat "$data" >/dev/null  # into the page cache
    fast=() slow=() moved=() speedups=() costs=()
    for ((i = 0; i < rounds; i++)); do
      f=$(elapsed_us "$tool" $flag -F "$data")
      s=$(elapsed_us "$plain" $flag "$data")
      c=$(elapsed_us cat "$saved")
      fast+=("$f") slow+=("$s") moved+=("$c")
      speedups+=("$(awk -v s="$s" -v f="$f" 'BEGIN {printf "%.3f", s / f}')")
      costs+=("$(awk -v c="$c" -v f="$f" 'BEGIN {printf "%.3f", f / c}')")
    done
    printf '%-7s %-13s %8.1f %13s %9s %8s %17.1f %15.2f\n' "$file" "$mode" \
      "$(awk -v b="$(stat -c %s "$saved")" 'BEGIN {print b / 1e6}')" \
      "$(ms_of "${fast[@]}")" "$(ms_of "${slow[@]}")" "$(ms_of "${moved[@]}")" \
      "$(printf '%s\n' "${speedups[@]}" | median)" "$(printf '%s\n' "${costs[@]}" | median)"
    rm -f "$saved"
  done
done
