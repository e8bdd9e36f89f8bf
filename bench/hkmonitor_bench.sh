#!/usr/bin/env bash
# Times hkmonitor checking every channel of a generated telemetry file of
# about 215 MB (the file of bench/hkdump_bench.sh) against hkdump -p on
# the same file, and against `cat FILE > /dev/null`; output to /dev/null,
# the file in the page cache.  The dictionary is the shipped one with a
# calibration and limits on every entry.  Runs alternate (hkmonitor,
# hkdump -p, cat, ...); the script prints the median time of each and the
# medians of the per-round ratios hkmonitor/hkdump -p and hkmonitor/cat,
# with the load average before and after.
#
# usage: bench/hkmonitor_bench.sh [BUILD_DIR [ROUNDS [RECORDS [DATA]]]]
#   BUILD_DIR  build tree holding monitor/, hkdump/, tlmsynth/ (default: build)
#   ROUNDS     timed rounds (default: 11)
#   RECORDS    records in the file (default: 20000, 10752 bytes each)
#   DATA       smooth (default): moving and missing sync rows, limits wide
#                enough that every channel stays green (the time measured is
#                the checking itself, not the writing of changes);
#              noisy: the same with random detector words, flags and gain
#                codes (tlmsynth -u -g -d 10);
#              drifting: noisy, with four housekeeping words drifting and
#                stepping (tlmsynth -H) and limits that they, the time of
#                day and the interferogram number cross, so that states
#                change all through the file
set -euo pipefail
. "$(dirname "$0")/timing.sh"

build=${1:-build}
rounds=${2:-11}
records=${3:-20000}
data=${4:-smooth}
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

synth=(-n "$records" -s 5x30,6x3,-1x3)
limits=(-2e6 -1e6 1e6 2e6)  # red_low yellow_low yellow_high red_high
case $data in
  smooth) ;;
  noisy) synth+=(-u -g -d 10) ;;
  drifting)
    synth+=(-u -g -d 10 -H 68=0:3 -H 12:22=60000:-3 -H 4:41=2000:0:40000@10000 -H 12:76=30000:0.5)
    limits=(10 100 3000 30000)
    ;;
  *) echo "hkmonitor_bench: DATA is smooth, noisy or drifting, not '$data'" >&2; exit 2 ;;
esac
"$build/tlmsynth/tlmsynth" "${synth[@]}" -o "$file"
cat "$file" >/dev/null  # into the page cache
# Every entry gets a calibration and four limits with a persistence.
awk -v l="${limits[*]}" 'BEGIN { split(l, v, " ") }
     { print }
     /^form = / { print "polynomial = [0.5, 1.0]\nred_low = " v[1] "\nyellow_low = " v[2]
                  print "yellow_high = " v[3] "\nred_high = " v[4] "\npersistence = 2" }' \
  "$source_dir/dictionary/default.toml" >"$dictionary"

# The warm-up run also shows that every channel is checked in every
# subframe: a summary line per entry, each with 3 x RECORDS values (all
# green but on the drifting data, where the status is 2: red was seen).
entries=$(grep -c '^\[\[channel\]\]' "$dictionary")
status=0
output=$("$hkmonitor" -D "$dictionary" -F "$file" 2>/dev/null) || status=$?
if [ "$status" -ne "$([ "$data" = drifting ] && echo 2 || echo 0)" ]; then
  echo "hkmonitor_bench: hkmonitor ended with status $status" >&2
  exit 1
fi
summary=$(sed -n '/^#channel/,$p' <<<"$output")
changes=$(sed '/^#channel/,$d' <<<"$output" | wc -l)
checked=$(awk -F '\t' -v n=$((3 * records)) -v all=$([ "$data" = drifting ] && echo 0 || echo 1) \
  '!/^#/ && $2 == n && (!all || $3 == n)' <<<"$summary" | wc -l)
if [ "$checked" -ne "$entries" ]; then
  echo "hkmonitor_bench: $checked of $entries channels checked in all $((3 * records)) subframes" >&2
  exit 1
fi

load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
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
printf 'file: %d bytes, %d records, %s; %d channels, each checked in %d subframes; %d state changes; %d rounds\n' \
  "$(stat -c %s "$file")" "$records" "$data" "$entries" $((3 * records)) "$changes" "$rounds"
printf 'load average before: %s, after: %s\n' "$load_before" "$(cut -d ' ' -f 1-3 /proc/loadavg)"
printf 'hkmonitor %s ms, hkdump -p %s ms, cat %s ms\n' \
  "$(ms "${monitor_times[@]}")" "$(ms "${dump_times[@]}")" "$(ms "${cat_times[@]}")"
printf 'hkmonitor / hkdump -p: %s   hkmonitor / cat: %s\n' \
  "$(printf '%s\n' "${by_dump[@]}" | median)" "$(printf '%s\n' "${by_cat[@]}" | median)"
