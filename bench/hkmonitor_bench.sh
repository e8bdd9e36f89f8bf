#!/usr/bin/env bash
# Times hkmonitor checking every channel of a generated telemetry file of
# about 215 MB (the file of bench/hkdump_bench.sh) against hkdump -p on
# the same file, and against `cat FILE > /dev/null`; output to /dev/null,
# the file in the page cache.  The dictionary is the shipped one with a
# calibration and limits on every entry (wide enough that every channel
# stays green: the time measured is the checking itself, not the writing
# of changes).  Runs alternate (hkmonitor, hkdump -p, cat, ...); the script
# prints the median time of each and the medians of the per-round ratios
# hkmonitor/hkdump -p and hkmonitor/cat.
#
# usage: bench/hkmonitor_bench.sh [BUILD_DIR [ROUNDS [RECORDS]]]
#   BUILD_DIR  build tree holding monitor/, hkdump/, tlmsynth/ (default: build)
#   ROUNDS     timed rounds (default: 11)
#   RECORDS    records in the file (default: 20000, 10752 bytes each)
set -euo pipefail
. "$(dirname "$0")/timing.sh"

build=${1:-build}
rounds=${2:-11}
records=${3:-20000}
source_dir=$(dirname "$0")/..
hkmonitor=$build/monitor/hkmonitor
hkdump=$build/hkdump/hkdump
for p in "$build/tlmsynth/tlmsynth" "$hkdump" "$hkmonitor"; do
  [ -x "$p" ] || { echo "hkmonitor_bench: $p not built (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/hkmonitor_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
file=$work/telemetry.dat
dictionary=$work/every-channel.toml

"$build/tlmsynth/tlmsynth" -n "$records" -s 5x30,6x3,-1x3 -o "$file"
cat "$file" >/dev/null  # into the page cache
# Every entry gets a calibration and four limits with a persistence.
awk '{ print }
     /^form = / { print "polynomial = [0.5, 1.0]\nred_low = -2e6\nyellow_low = -1e6"
                  print "yellow_high = 1e6\nred_high = 2e6\npersistence = 2" }' \
  "$source_dir/dictionary/default.toml" >"$dictionary"

# The warm-up run also shows that every channel is checked in every
# subframe: a summary line per entry, each with 3 x RECORDS values, all green.
entries=$(grep -c '^\[\[channel\]\]' "$dictionary")
summary=$("$hkmonitor" -D "$dictionary" -F "$file" 2>/dev/null) || {
  echo "hkmonitor_bench: hkmonitor ended with status $?" >&2
  exit 1
}
checked=$(awk -F '\t' -v n=$((3 * records)) '!/^#/ && $2 == n && $3 == n' <<<"$summary" | wc -l)
if [ "$checked" -ne "$entries" ]; then
  echo "hkmonitor_bench: $checked of $entries channels checked in all $((3 * records)) subframes" >&2
  exit 1
fi

monitor_times=() dump_times=() cat_times=() by_dump=() by_cat=()
for ((i = 0; i < rounds; i++)); do
  m=$(elapsed_us "$hkmonitor" -D "$dictionary" -F "$file")
  d=$(elapsed_us "$hkdump" -p -F "$file")
  c=$(elapsed_us cat "$file")
  monitor_times+=("$m") dump_times+=("$d") cat_times+=("$c")
  by_dump+=("$(awk -v a="$m" -v b="$d" 'BEGIN {printf "%.4f", a / b}')")
  by_cat+=("$(awk -v a="$m" -v b="$c" 'BEGIN {printf "%.4f", a / b}')")
done
ms() { printf '%s\n' "$@" | median | awk '{printf "%.1f", $1 / 1000}'; }
printf 'file: %d bytes, %d records; %d channels, each checked in %d subframes; %d rounds\n' \
  "$(stat -c %s "$file")" "$records" "$entries" $((3 * records)) "$rounds"
printf 'hkmonitor %s ms, hkdump -p %s ms, cat %s ms\n' \
  "$(ms "${monitor_times[@]}")" "$(ms "${dump_times[@]}")" "$(ms "${cat_times[@]}")"
printf 'hkmonitor / hkdump -p: %s   hkmonitor / cat: %s\n' \
  "$(printf '%s\n' "${by_dump[@]}" | median)" "$(printf '%s\n' "${by_cat[@]}" | median)"
