#!/usr/bin/env bash
# Runs every check of the project: each fuzz harness briefly on its seed
# corpus, then every test in two builds, as released and under
# AddressSanitizer and UndefinedBehaviorSanitizer.
#
# usage: scripts/test-all.sh [FUZZ_SECONDS]   (default 20 per harness; 0 skips fuzzing)
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${1:-20}
jobs=$(nproc 2>/dev/null || echo 2)
if [ "$fuzz_seconds" -gt 0 ]; then
  scripts/install-deps.sh --fuzz
  echo "== fuzz harnesses, $fuzz_seconds s each"
  scripts/fuzz.sh "$fuzz_seconds"
else
  scripts/install-deps.sh
fi
for preset in default sanitize; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
