#!/usr/bin/env bash
# Times the whole retrieve program scanning a generated detection file of
# about 38.7 MB (100 entries of 500 samples and 25000 spectrum values, reals
# written as Fortran's E15.7) for a number that no entry carries, so that
# every entry is read, against `cat FILE > /dev/null` of the same file in
# the page cache.  Runs alternate (retrieve, cat, retrieve, cat, ...); the
# script prints the median time of each, the median of the per-pair ratios
# retrieve/cat and retrieve's rate in MB (10^6 bytes) per second.  It then
# prints the peak resident memory of a run on this file and on one of a
# tenth of the entries: fixed buffers keep the two alike.
#
# usage: bench/retrieve_bench.sh [BUILD_DIR [PAIRS [ENTRIES]]]
#   BUILD_DIR  build tree holding retrieve/ and detsynth/ (default: build)
#   PAIRS      timed pairs (default: 11)
#   ENTRIES    entries in the file (default: 100)
set -euo pipefail
. "$(dirname "$0")/timing.sh"

build=${1:-build}
pairs=${2:-11}
entries=${3:-100}
retrieve=$(realpath "$build/retrieve/retrieve")
detsynth=$build/detsynth/detsynth
for p in "$retrieve" "$detsynth"; do
  [ -x "$p" ] || { echo "retrieve_bench: $p not built (cmake --build $build)" >&2; exit 1; }
done
command -v /usr/bin/time >/dev/null || { echo "retrieve_bench: /usr/bin/time missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/retrieve_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/big" "$work/small"
"$detsynth" -n "$entries" -s 500 -c 25000 -F fortran -o "$work/big/all.det"
"$detsynth" -n $((entries / 10 > 0 ? entries / 10 : 1)) -s 500 -c 25000 -F fortran -o "$work/small/all.det"
bytes=$(stat -c %s "$work/big/all.det")

# One run in folder $1 asking for number $2; its console output on stdout.
run() { (cd "$1" && "$retrieve" <<<"$2" 2>/dev/null) || true; }

# A scan that stops early would look fast: the run must read every entry,
# and a run for the last entry must write its values.
if [ "$(run "$work/big" 0 | grep -c '#=')" -ne "$entries" ] || ! run "$work/big" 0 | grep -q Finished!; then
  echo "retrieve_bench: the scan did not read all $entries entries" >&2
  exit 1
fi
run "$work/big" "$entries" >/dev/null
if [ "$(wc -l <"$work/big/spectrum.dat")" -ne 25000 ]; then
  echo "retrieve_bench: the last entry was not written" >&2
  exit 1
fi
rm -f "$work/big/"*.dat


cat "$work/big/all.det" >/dev/null  # into the page cache
prog_times=() cat_times=() ratios=()
for ((i = 0; i < pairs; i++)); do
  p=$(elapsed_us run "$work/big" 0)
  c=$(elapsed_us cat "$work/big/all.det")
  prog_times+=("$p") cat_times+=("$c")
  ratios+=("$(awk -v p="$p" -v c="$c" 'BEGIN {printf "%.4f", p / c}')")
done
prog_us=$(printf '%s\n' "${prog_times[@]}" | median)
cat_us=$(printf '%s\n' "${cat_times[@]}" | median)
printf 'file: %d bytes, %d entries, %d pairs\n' "$bytes" "$entries" "$pairs"
printf '%-10s %10s %10s %7s %10s\n' program 'prog ms' 'cat ms' ratio 'MB/s'
printf '%-10s %10.1f %10.1f %7.2f %10.0f\n' retrieve "$(awk -v t="$prog_us" 'BEGIN {print t / 1000}')" \
  "$(awk -v t="$cat_us" 'BEGIN {print t / 1000}')" "$(printf '%s\n' "${ratios[@]}" | median)" \
  "$(awk -v b="$bytes" -v t="$prog_us" 'BEGIN {print b / t}')"

# Peak resident memory in kB, the same whatever the file's length.
peak_kb() { (cd "$1" && /usr/bin/time -f %M "$retrieve" <<<0 2>&1 >/dev/null | tail -n 1); }
printf 'peak memory: %s kB on this file, %s kB on a tenth of it\n' "$(peak_kb "$work/big")" "$(peak_kb "$work/small")"
