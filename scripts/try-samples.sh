#!/usr/bin/env bash
# Sets up, builds, and runs each tool on the bundled sample data, showing
# the commands as it goes; the sample files and what the tools write stay
# in build/samples.
set -eu  # no pipefail: head closing its pipe early is no failure here
cd "$(dirname "$0")/.."

# A set-up step: its name and command shown as it starts, then run; a quiet
# step's progress lines are left out, its warnings and errors still shown.
setup() {
  local name=$1 quiet=$2
  shift 2
  printf '== %s: %s\n' "$name" "$*"
  if [ "$quiet" = quiet ]; then "$@" >/dev/null; else "$@"; fi
}
setup packages loud scripts/install-deps.sh
setup configure quiet cmake --preset default
echo "   (the first build of a fresh clone takes a minute or two)"
setup build quiet cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
s=build/samples

show() { printf '\n$ %s\n' "$*"; }

show "build/ifgextract/ifgextract -F $s/sample.tlm | head -8"
build/ifgextract/ifgextract -F $s/sample.tlm 2>&1 | head -8

show "build/hkdump/hkdump -p -F $s/sample.tlm | head -3"
build/hkdump/hkdump -p -F $s/sample.tlm 2>&1 | head -3

show "build/hkdump/hkrawdump -m -F $s/sample.tlm | head -3"
build/hkdump/hkrawdump -m -F $s/sample.tlm 2>&1 | head -3

show "(cd $s && echo 102 | ../retrieve/retrieve) && head -3 $s/interferogram.dat"
(cd $s && echo 102 | ../retrieve/retrieve)
head -3 $s/interferogram.dat

show "build/ifgextract/ifgextract -F $s/sample.tlm | scripts/quicklook.sh ifg -n 3 -o $s/ifg3.png"
build/ifgextract/ifgextract -F $s/sample.tlm 2>/dev/null | scripts/quicklook.sh ifg -n 3 -o $s/ifg3.png
echo "picture of interferogram 3: $s/ifg3.png"

show "build/archive/tlm2nc -d 2026-12-09 -F $s/sample.tlm && ncdump -h $s/sample.tlm.nc | grep -E '^group|title'"
build/archive/tlm2nc -d 2026-12-09 -F $s/sample.tlm
ncdump -h $s/sample.tlm.nc | grep -E '^group|title'

show "build/archive/nc2tlm -F $s/sample.tlm.nc | cmp - $s/sample.tlm && echo 'the same bytes'"
build/archive/nc2tlm -F $s/sample.tlm.nc | cmp - $s/sample.tlm && echo 'the same bytes'

show "build/tlmsynth/tlmsynth -n 600 -T 06:00:00 -H 68=57600:6.4:1600@400 -o $s/day.tlm"
build/tlmsynth/tlmsynth -n 600 -T 06:00:00 -H 68=57600:6.4:1600@400 -o $s/day.tlm
show "build/monitor/hkmonitor -D examples/station.toml -F $s/day.tlm"
build/monitor/hkmonitor -D examples/station.toml -F $s/day.tlm || echo "exit status $? (2: a red state was seen)"

show "PYTHONPATH=build/python /usr/bin/python3 -c 'import ifgtools; ...'"
PYTHONPATH=build/python /usr/bin/python3 - "$s/sample.tlm" <<'PY'
import sys
import ifgtools
run = ifgtools.interferogram_samples(sys.argv[1])
print(run)
print("first sample:", run.samples[0], "fields:", run.samples.dtype.names)
hk = ifgtools.housekeeping(sys.argv[1], "p")
print("pressure, first line:", hk["values"][0])
PY
