#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each for a bounded time on its
# seed corpus (fuzz/seeds/NAME) plus what earlier runs found
# (build-fuzz/corpus/NAME).  Findings are written to build-fuzz/findings/.
#
# usage: scripts/fuzz.sh [-r] [-j JOBS] SECONDS [HARNESS ...]
#   -r       record the figures in docs/fuzzing.md
#   -j JOBS  parallel fuzzing jobs per harness (default 1)
# With no harness named, every harness in fuzz/CMakeLists.txt runs in turn.
# A short run (scripts/fuzz.sh 20) is the check made with the tests: every
# harness on its seeds for a few seconds.  The status is 1 after a finding.
set -euo pipefail
cd "$(dirname "$0")/.."

record=0
jobs=1
while getopts "rj:" opt; do
  case $opt in
    r) record=1 ;;
    j) jobs=$OPTARG ;;
    *) echo "usage: scripts/fuzz.sh [-r] [-j JOBS] SECONDS [HARNESS ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { echo "usage: scripts/fuzz.sh [-r] [-j JOBS] SECONDS [HARNESS ...]" >&2; exit 2; }
seconds=$1
shift
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for h in $(grep -Eo '^add_fuzzer\([a-z]+_fuzz' fuzz/CMakeLists.txt); do
    h=${h#add_fuzzer(}
    harnesses+=("${h%_fuzz}")
  done
fi

command -v clang++ >/dev/null || { echo "fuzz: clang++ is needed (scripts/install-deps.sh --fuzz)" >&2; exit 1; }
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null

# Longest input worth trying, per harness: the raw-data tools need three
# records (and a few option bytes) to reach every state; the free-form
# reader is pushed across its buffer boundary by the harness itself, so
# short texts reach every state of it; a detection file needs room for a
# few entries.
max_len() {
  case $1 in
    ifgextract|hkdump|hkrawdump|monitor) echo 33000 ;;
    freeform) echo 8192 ;;
    retrieve) echo 16384 ;;
    *) echo 65536 ;;
  esac
}

status=0
for h in "${harnesses[@]}"; do
  bin=build-fuzz/fuzz/${h}_fuzz
  [ -x "$bin" ] || { echo "fuzz: no harness $h" >&2; exit 2; }
  corpus=build-fuzz/corpus/$h
  findings=build-fuzz/findings/$h
  mkdir -p "$corpus" "$findings"
  log=build-fuzz/$h.log
  started=$(date +%s)
  set +e
  if [ "$jobs" -gt 1 ]; then
    "$bin" -max_len="$(max_len "$h")" -max_total_time="$seconds" -print_final_stats=1 \
      -timeout=20 -artifact_prefix="$findings/" -fork="$jobs" -ignore_crashes=0 \
      "$corpus" "fuzz/seeds/$h" >"$log" 2>&1
  else
    "$bin" -max_len="$(max_len "$h")" -max_total_time="$seconds" -print_final_stats=1 \
      -timeout=20 -artifact_prefix="$findings/" "$corpus" "fuzz/seeds/$h" >"$log" 2>&1
  fi
  rc=$?
  set -e
  elapsed=$(( $(date +%s) - started ))
  runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' | awk '{s += $1} END {print s + 0}')
  if [ "$runs" -eq 0 ]; then
    runs=$(grep -Eo '#[0-9]+' "$log" | tail -1 | tr -d '#')
    runs=${runs:-0}
  fi
  if [ $rc -eq 0 ]; then result="no finding"; else result="FINDING (exit $rc), see $log"; status=1; fi
  printf '%-12s %8s s %12s executions  %s\n' "$h" "$elapsed" "$runs" "$result"
  if [ $record -eq 1 ]; then
    printf '| %s | %s | %s | %s | %s |\n' "$(date -u +%Y-%m-%d)" "$h" "$elapsed" "$runs" "$result" >> docs/fuzzing.md
  fi
done
exit $status
