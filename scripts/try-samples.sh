#!/usr/bin/env bash
# Sets up, builds, and runs each tool on the bundled sample data, showing
# the commands as it goes; the sample files and what the tools write stay
# in build/samples.
set -eu  # no pipefail: head closing its pipe early is no failure here
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
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
