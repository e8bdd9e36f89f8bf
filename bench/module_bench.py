#!/usr/bin/python3
"""Times the Python module against the tools on the same generated file.

interferogram_samples (both modes) against `ifgextract -F FILE > /dev/null`,
and housekeeping (every group, both tables) against hkdump or hkrawdump to
/dev/null, taken in turn (module, tool, module, tool, ...); prints the
median of each and the median of the per-pair ratios module/tool.  Then the
peak memory of interferogram_samples on a ten times larger file, in a fresh
process, against the size of the arrays it returns.

usage: PYTHONPATH=build/python bench/module_bench.py [BUILD_DIR [RECORDS [PAIRS]]]
  BUILD_DIR  build tree with the tools and build/python (default: build)
  RECORDS    records in the timed file (default 2000, 21.5 MB)
  PAIRS      timed pairs per case (default 11)
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
records = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 11
sys.path.insert(0, os.path.join(build, "python"))
import ifgtools  # noqa: E402

TLMSYNTH = os.path.join(build, "tlmsynth", "tlmsynth")
SMOOTH = ["-k", "7", "-S", "50", "-s", "5x300,7x30,-1x6"]


def make_file(folder, name, count, options):
    path = os.path.join(folder, name)
    subprocess.run([TLMSYNTH, "-n", str(count), *options, "-o", path], check=True)
    with open(path, "rb") as f:  # into the page cache
        while f.read(1 << 20):
            pass
    return path


def seconds(action):
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def tool_run(argv):
    return lambda: subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def compare(label, module_call, tool_argv):
    module_call()  # warm-up
    mod, tool = [], []
    for _ in range(pairs):
        mod.append(seconds(module_call))
        tool.append(seconds(tool_run(tool_argv)))
    ratios = [m / t for m, t in zip(mod, tool)]
    print(f"{label:28s} module {1000 * statistics.median(mod):7.1f} ms   "
          f"tool {1000 * statistics.median(tool):7.1f} ms   module/tool {statistics.median(ratios):5.2f}")


def peak_memory(path, carriage):
    """How far one call in a fresh process raises its peak resident memory
    above what it held before, and the bytes of the arrays returned."""
    probe = (
        "import sys, numpy, ifgtools\n"
        "def status(field):\n"
        "    for line in open('/proc/self/status'):\n"
        "        if line.startswith(field):\n"
        "            return int(line.split()[1]) * 1024\n"
        "ifgtools.interferogram_samples(b'')  # the module's own set-up, once\n"
        "before = status('VmRSS:')\n"
        f"r = ifgtools.interferogram_samples(sys.argv[1], carriage={carriage})\n"
        "print(status('VmHWM:') - before, r.samples.nbytes + r.notices.nbytes)\n")
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    out = subprocess.run([sys.executable, "-c", probe, path], env=env, capture_output=True,
                         text=True, check=True).stdout.split()
    return int(out[0]), int(out[1])


def main():
    tool = {name: os.path.join(build, folder, name) for folder, name in
            [("ifgextract", "ifgextract"), ("hkdump", "hkdump"), ("hkdump", "hkrawdump")]}
    with tempfile.TemporaryDirectory() as folder:
        path = make_file(folder, "smooth.tlm", records, SMOOTH)
        print(f"file: {records} records, {os.path.getsize(path)} bytes (smooth generated data), "
              f"{pairs} pairs")
        for carriage in (False, True):
            compare("samples" + (" carriage" if carriage else ""),
                    lambda: ifgtools.interferogram_samples(path, carriage=carriage),
                    [tool["ifgextract"]] + (["-c"] if carriage else []) + ["-F", path])
        for raw in (False, True):
            for group in ["f", "s", "p", "m", "v", "x", 52]:
                option = ["-" + group] if isinstance(group, str) else ["-g", str(group)]
                compare(f"housekeeping {group}" + (" raw" if raw else ""),
                        lambda: ifgtools.housekeeping(path, group, raw=raw),
                        [tool["hkrawdump" if raw else "hkdump"], *option, "-F", path])
        os.remove(path)
        big = make_file(folder, "big.tlm", 10 * records, SMOOTH)
        for carriage in (False, True):
            peak, arrays = peak_memory(big, carriage)
            print(f"peak memory, {os.path.getsize(big)} bytes, {'carriage' if carriage else 'detectors'}: "
                  f"{peak / 1e6:.1f} MB over arrays of {arrays / 1e6:.1f} MB: {peak / arrays:.2f} x")


if __name__ == "__main__":
    main()
