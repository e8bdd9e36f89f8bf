#!/usr/bin/env bash
# Times hkdump and hkrawdump, every channel group (7 groups x 2 programs),
# against plain reading of the same file with `cat FILE > /dev/null`, on a
# generated telemetry file of about 215 MB that stays in the page cache;
# output to /dev/null.  Runs alternate (program, cat, program, cat, ...);
# for each group the script prints the median time of each and the median
# of the per-pair ratios program/cat.
#
# usage: bench/hkdump_bench.sh [BUILD_DIR [PAIRS [RECORDS]]]
#   BUILD_DIR  build tree holding hkdump/, tlmsynth/ (default: build)
#   PAIRS      timed pairs per group (default: 9)
#   RECORDS    records in the file (default: 20000, 10752 bytes each)
set -euo pipefail
. "$(dirname "$0")/timing.sh"

build=${1:-build}
pairs=${2:-9}
records=${3:-20000}
for p in "$build/tlmsynth/tlmsynth" "$build/hkdump/hkdump" "$build/hkdump/hkrawdump"; do
  [ -x "$p" ] || { echo "hkdump_bench: $p not built (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/hkdump_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
file=$work/telemetry.dat

"$build/tlmsynth/tlmsynth" -n "$records" -s 5x30,6x3,-1x3 -o "$file"
cat "$file" >/dev/null  # into the page cache


printf 'file: %d bytes, %d pairs per group\n' "$(stat -c %s "$file")" "$pairs"
printf '%-10s %-6s %10s %10s %7s\n' program group 'prog ms' 'cat ms' ratio
for program in hkdump hkrawdump; do
  for group in -f -s -p -m -v -x "-g 52"; do
    prog_times=() cat_times=() ratios=()
    # The warm-up run also shows that the whole file is read: one data line
    # (prefix "sync record subframe<TAB>") per subframe.
    lines=$("$build/hkdump/$program" $group -F "$file" 2>/dev/null | grep -cE $'^[0-9a-f]+ +[0-9]+ [012]\t' || true)
    if [ "$lines" -ne $((3 * records)) ]; then
      echo "hkdump_bench: $program $group printed $lines data lines, not $((3 * records))" >&2
      exit 1
    fi
    for ((i = 0; i < pairs; i++)); do
      p=$(elapsed_us "$build/hkdump/$program" $group -F "$file")
      c=$(elapsed_us cat "$file")
      prog_times+=("$p") cat_times+=("$c")
      ratios+=("$(awk -v p="$p" -v c="$c" 'BEGIN {printf "%.4f", p / c}')")
    done
    printf '%-10s %-6s %10.1f %10.1f %7.2f\n' "$program" "$group" \
      "$(printf '%s\n' "${prog_times[@]}" | median | awk '{print $1 / 1000}')" \
      "$(printf '%s\n' "${cat_times[@]}" | median | awk '{print $1 / 1000}')" \
      "$(printf '%s\n' "${ratios[@]}" | median)"
  done
done
