#!/usr/bin/env bash
# Times tlm2nc and nc2tlm against gzip on the raw files they archive, on the
# two generated telemetry files of the other benchmarks (2000 records, 21.5
# MB each):
#   smooth  centre-burst interferograms over noise, gain codes that follow
#           the signal, 3% of the sample groups without sample flag;
#   noisy   uniformly random detector words, a random 10% of the groups
#           without sample flag, a gain code jumping at every group.
# Runs alternate (tlm2nc, gzip -6, nc2tlm, gzip -dc, tlm2nc -D with two
# dictionaries, tlm2nc, ...), the products and the gzip files written into
# the same scratch folder; the medians of the per-round ratios are reported:
# tlm2nc / gzip -6 -c FILE > OUT (the archive costs no more than gzipping
# the raw file when at most 1) and nc2tlm / gzip -dc (the source back no
# slower than from gzip).  Then the product's size over the raw file's, and
# tlm2nc's peak resident memory (/usr/bin/time -f %M).
#
# What -D costs: tlm2nc -D against tlm2nc, with the shipped dictionary
# given a calibration and limits on every entry ("shipped", 74 values), and
# with that dictionary naming besides every generic channel of both
# columns ("every", 285 values); the median of the per-round ratios, the
# product's size over the raw file's and the peak memory with "every".  With LARGE_MB, the peak memory also on a noisy
# file of that many megabytes, made in the scratch folder and removed.
#
# usage: bench/tlm2nc_bench.sh [BUILD_DIR [ROUNDS [LARGE_MB [LEVEL]]]]
#   BUILD_DIR  build tree holding archive/ and tlmsynth/ (default: build)
#   ROUNDS     timed rounds per file (default: 11)
#   LARGE_MB   size of the large file for the memory figure (default: 0, none)
#   LEVEL      tlm2nc's deflate level, -z (default: tlm2nc's own)
set -euo pipefail
. "$(dirname "$0")/timing.sh"
build=${1:-build}
rounds=${2:-11}
large_mb=${3:-0}
level=()
[ -n "${4:-}" ] && level=(-z "$4")

tlm2nc=$build/archive/tlm2nc
nc2tlm=$build/archive/nc2tlm
synth=$build/tlmsynth/tlmsynth
for p in "$tlm2nc" "$nc2tlm" "$synth"; do
  [ -x "$p" ] || { echo "tlm2nc_bench: $p not built (cmake --build $build)" >&2; exit 1; }
done
command -v /usr/bin/time >/dev/null || { echo "tlm2nc_bench: /usr/bin/time missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tlm2nc_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
common=(-n 2000 -k 7 -S 50 -s 5x300,7x30,-1x6)
"$synth" "${common[@]}" -o "$work/smooth"
"$synth" "${common[@]}" -u -g -d 10 -o "$work/noisy"

# The dictionaries of -D.  Every entry gets a polynomial and four limits;
# "every" has the shipped entries but the generic ones, then a generic
# entry for every channel of both columns.
source_dir=$(dirname "$0")/..
awk '{ print }
     /^form = / { print "polynomial = [0.5, 0.001, 1e-7]\nred_low = -2e6\nyellow_low = -1e6"
                  print "yellow_high = 1e6\nred_high = 2e6\npersistence = 2" }' \
  "$source_dir/dictionary/default.toml" >"$work/shipped.toml"
{
  awk -v RS= -v ORS='\n\n' '!/group = "generic"/' "$work/shipped.toml"
  for column in 12 4; do
    for ((k = 0; k < 108; k++)); do
      printf '[[channel]]\nname = "word_%d_%d"\ndescription = "column %d, channel %d"\n' \
        "$column" "$k" "$column" "$k"
      printf 'units = "V"\ncolumn = %d\ngroup = "generic"\nnumber = %d\nform = "raw"\n' "$column" "$k"
      printf 'polynomial = [0.5, 0.001]\nyellow_high = 1e6\n\n'
    done
  done
} >"$work/every.toml"

gzip_to() { gzip -6 -c "$1" >"$2"; }
# peak_kb INPUT OUTPUT [OPTION...]
peak_kb() { /usr/bin/time -f %M "$tlm2nc" "${level[@]}" "${@:3}" -F "$1" -o "$2" 2>&1 >/dev/null | tail -n 1; }
ms_of() { printf '%s\n' "$@" | median | awk '{printf "%.0f", $1 / 1e3}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }

echo "files: 2000 records, $(stat -c %s "$work/smooth") bytes each; $rounds rounds; tlm2nc ${level[*]:-(default level)}"
printf '%-7s %10s %10s %10s %10s %12s %10s %12s %9s %9s\n' file 'tlm2nc ms' 'gzip-6 ms' \
  tlm2nc/gz 'nc2tlm ms' 'gzip -dc ms' nc2tlm/gz product/raw gzip/raw 'peak KB'
dictionary_rows=()
for file in smooth noisy; do
  data=$work/$file product=$work/$file.nc packed=$work/$file.gz
  # Whole and exact first: the source back byte for byte, and with -D every
  # value named.
  for dictionary in "" shipped every; do
    "$tlm2nc" "${level[@]}" ${dictionary:+-D "$work/$dictionary.toml"} -F "$data" -o "$product"
    if ! "$nc2tlm" -F "$product" | cmp -s - "$data"; then
      echo "tlm2nc_bench: nc2tlm does not give $file back" >&2
      exit 1
    fi
    [ -z "$dictionary" ] || cp "$product" "$work/$file.$dictionary.nc"
  done
  for dictionary in shipped every; do
    want=$(grep -c '^\[\[channel\]\]' "$work/$dictionary.toml")
    named=$(ncdump -h "$work/$file.$dictionary.nc" | grep -c '^\s*double [a-z_0-9]*(line)')
    if [ "$named" -ne "$want" ]; then
      echo "tlm2nc_bench: -D $dictionary named $named values, not $want" >&2
      exit 1
    fi
  done
  gzip_to "$data" "$packed"
  cat "$data" "$packed" "$product" >/dev/null  # into the page cache
  t=() g=() n=() d=() tg=() nd=() ts=() te=()
  for ((i = 0; i < rounds; i++)); do
    a=$(elapsed_us "$tlm2nc" "${level[@]}" -F "$data" -o "$product")
    b=$(elapsed_us gzip_to "$data" "$work/out.gz")
    c=$(elapsed_us "$nc2tlm" -F "$product")
    e=$(elapsed_us gzip -dc "$packed")
    s=$(elapsed_us "$tlm2nc" "${level[@]}" -D "$work/shipped.toml" -F "$data" -o "$work/out.nc")
    v=$(elapsed_us "$tlm2nc" "${level[@]}" -D "$work/every.toml" -F "$data" -o "$work/out.nc")
    t+=("$a") g+=("$b") n+=("$c") d+=("$e")
    tg+=("$(ratio "$a" "$b")") nd+=("$(ratio "$c" "$e")")
    ts+=("$(ratio "$s" "$a")") te+=("$(ratio "$v" "$a")")
  done
  raw=$(stat -c %s "$data")
  printf '%-7s %10s %10s %10.2f %10s %12s %10.2f %12.3f %9.3f %9s\n' "$file" "$(ms_of "${t[@]}")" \
    "$(ms_of "${g[@]}")" "$(printf '%s\n' "${tg[@]}" | median)" "$(ms_of "${n[@]}")" \
    "$(ms_of "${d[@]}")" "$(printf '%s\n' "${nd[@]}" | median)" \
    "$(ratio "$(stat -c %s "$product")" "$raw")" "$(ratio "$(stat -c %s "$packed")" "$raw")" \
    "$(peak_kb "$data" "$product")"
  dictionary_rows+=("$(printf '%-7s %14.3f %12.3f %14.3f %12.3f %12s' "$file" \
    "$(printf '%s\n' "${ts[@]}" | median)" "$(ratio "$(stat -c %s "$work/$file.shipped.nc")" "$raw")" \
    "$(printf '%s\n' "${te[@]}" | median)" "$(ratio "$(stat -c %s "$work/$file.every.nc")" "$raw")" \
    "$(peak_kb "$data" "$product" -D "$work/every.toml")")")
done
echo
echo "tlm2nc -D against tlm2nc: shipped ($(grep -c '^\[\[channel' "$work/shipped.toml") values), every ($(grep -c '^\[\[channel' "$work/every.toml") values)"
printf '%-7s %14s %12s %14s %12s %12s\n' file 'shipped/plain' product/raw 'every/plain' product/raw \
  'every peak KB'
printf '%s\n' "${dictionary_rows[@]}"

if [ "$large_mb" -gt 0 ]; then
  records=$((large_mb * 1000000 / 10752))
  "$synth" -n "$records" -k 7 -S 50 -s 5x300,7x30,-1x6 -u -g -d 10 -o "$work/large"
  printf 'large noisy file: %d bytes; tlm2nc peak %s KB\n' "$(stat -c %s "$work/large")" \
    "$(peak_kb "$work/large" "$work/large.nc")"
fi
