#!/usr/bin/python3
"""Times a campaign reduction on a dask.distributed cluster of one and of two
workers, and measures the peak memory of the Python process against the
number of products.

The reduction is the per-interferogram mean of both detectors over a whole
campaign (interferogram numbers, detector1 and detector2 of every sample
read, decompressed and binned): ifgtools.open_campaign over the products,
the count and the sums of each dask chunk binned in one task
(numpy.bincount), the chunks' bins summed.  A scheduler and one or two
single-thread workers (--no-nanny) run on 127.0.0.1 as `dask scheduler` and
`dask worker`; the products are on local disk, in the page cache after the
first run.

Speed: the reduction on a fresh cluster of one worker, then of two, in
turn (fresh, so that no worker holds a product open or a decompressed chunk
from the run before); prints the median wall time of each, the CPU time the
workers spent, and the median of the per-pair ratios.  On a machine shared
with other work the wall times say less than the CPU times: the load average
is printed too.  Memory: a fresh client process per campaign size (10 and
100 products), its peak resident memory (VmHWM) after the reduction; the
same with dask's local threads and no cluster; and the workers' peaks.
Both also for the same sums as three results of one dask.compute (three
dask.array.bincount of the same numbers), which dask orders one result
after the other.  Every client's standard error must stay
empty (no diagnostics of the netCDF or HDF5 libraries).

usage: bench/campaign_bench.py [BUILD_DIR [RECORDS [PAIRS [DATA [FOLDER]]]]]
  BUILD_DIR  build tree with tlmsynth, tlm2nc and build/python (default: build)
  RECORDS    records of each of the 100 raw files (default 1000, 10.8 MB)
  PAIRS      timed pairs (default 7)
  DATA       noisy (tlmsynth -u -g -d 10) or smooth (default noisy)
  FOLDER     where the products are made (default: a temporary folder in BUILD_DIR)
"""

import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

# The bench runs itself as each client of the memory figures, in a process
# of its own: --client BUILD_DIR RECORDS FORM WHERE PRODUCT...
CLIENT = "--client"
as_client = sys.argv[1:2] == [CLIENT]
args = sys.argv[2:4] if as_client else sys.argv[1:]
build = args[0] if len(args) > 0 else "build"
records = int(args[1]) if len(args) > 1 else 1000
pairs = int(args[2]) if len(args) > 2 else 7
data = args[3] if len(args) > 3 else "noisy"
folder_arg = args[4] if len(args) > 4 else None
python_dir = os.path.abspath(os.path.join(build, "python"))
sys.path.insert(0, python_dir)

PRODUCTS = 100
BINS = 50 * PRODUCTS + records  # past the highest interferogram number (4 records each)
HOST = "127.0.0.1"
OPTIONS = {"noisy": ["-u", "-g", "-d", "10"], "smooth": ["-k", "7", "-S", "50", "-s", "5x300,7x30,-1x6"]}


def binned(number, detector1, detector2):
    """One dask chunk's count and sums per interferogram number."""
    import numpy as np
    return np.stack([np.bincount(number, minlength=BINS), np.bincount(number, detector1, minlength=BINS),
                     np.bincount(number, detector2, minlength=BINS)])[None]


def reduction(ifg):
    """The count and the sums of both detectors per interferogram number of a
    campaign, as one lazy (3, BINS) array: each dask chunk of the three
    variables binned in one task, the chunks' bins summed."""
    import dask.array as da
    number = ifg.interferogram.data
    parts = da.map_blocks(binned, number, ifg.detector1.data, ifg.detector2.data, new_axis=[1, 2],
                          chunks=((1,) * number.numblocks[0], 3, BINS), dtype="f8")
    return parts.sum(axis=0)


def three_results(ifg):
    """The same sums as three results that share the numbers."""
    import dask.array as da
    number = ifg.interferogram.data
    return [da.bincount(number, minlength=BINS), da.bincount(number, weights=ifg.detector1.data, minlength=BINS),
            da.bincount(number, weights=ifg.detector2.data, minlength=BINS)]


def client_main(form, where, paths):
    """The reduction as a client runs it, in a process of its own: prints the
    samples counted and the peak resident memory."""
    import dask
    import ifgtools
    if where != "local":
        from distributed import Client
        Client(where, timeout=60)
    ifg = ifgtools.open_campaign(paths, "interferogram")
    counts = (dask.compute(reduction(ifg))[0][0] if form == "one pass" else
              dask.compute(*three_results(ifg))[0])
    with open("/proc/self/status") as f:
        peak = [int(line.split()[1]) for line in f if line.startswith("VmHWM:")][0]
    print(int(counts.sum()), peak * 1024)


def make_products(folder):
    tlmsynth, tlm2nc = (os.path.join(build, d, n) for d, n in (("tlmsynth", "tlmsynth"), ("archive", "tlm2nc")))
    paths = []
    for i in range(PRODUCTS):
        raw, product = os.path.join(folder, f"run{i:03d}.tlm"), os.path.join(folder, f"run{i:03d}.nc")
        if not os.path.exists(product):
            subprocess.run([tlmsynth, "-n", str(records), "-i", str(1 + 50 * i), "-r", str(i + 1),
                            *OPTIONS[data], "-o", raw], check=True)
            subprocess.run([tlm2nc, "-F", raw, "-o", product], check=True)
            os.remove(raw)
        paths.append(product)
    return paths


class Cluster:
    """A scheduler and workers on 127.0.0.1, stopped on leaving."""

    def __init__(self, folder, workers):
        self.folder, self.processes = folder, []
        address_file = os.path.join(folder, "scheduler.json")
        if os.path.exists(address_file):
            os.remove(address_file)
        self.log = open(os.path.join(folder, "cluster.log"), "ab")
        self.start("scheduler", "--port", "0", "--scheduler-file", address_file)
        deadline = time.monotonic() + 60
        while not os.path.exists(address_file) or not os.path.getsize(address_file):
            if time.monotonic() > deadline:
                raise SystemExit("campaign_bench: no scheduler after 60 s (see cluster.log)")
            time.sleep(0.1)
        time.sleep(0.2)
        with open(address_file) as f:
            self.address = json.load(f)["address"]
        for i in range(workers):
            self.start("worker", self.address, "--nthreads", "1", "--no-nanny",
                       "--local-directory", os.path.join(folder, f"worker{i}"))

    def start(self, *argv):
        argv += ("--host", HOST, "--no-dashboard", "--dashboard-address", f"{HOST}:0")
        env = dict(os.environ, PYTHONPATH=python_dir)
        self.processes.append(subprocess.Popen([sys.executable, "-m", "dask", *argv], env=env,
                                               stdout=self.log, stderr=subprocess.STDOUT))

    def worker_cpu(self):
        """CPU seconds (user and system) the workers have used."""
        total = 0
        for p in self.processes[1:]:
            with open(f"/proc/{p.pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        return total / os.sysconf("SC_CLK_TCK")

    def worker_peaks(self):
        """Peak resident memory of each worker, bytes."""
        peaks = []
        for p in self.processes[1:]:
            with open(f"/proc/{p.pid}/status") as f:
                peaks += [int(l.split()[1]) * 1024 for l in f if l.startswith("VmHWM:")]
        return peaks

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for p in self.processes:
            p.terminate()
        for p in self.processes:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        self.log.close()


def speed(folder, paths):
    runs = {1: [], 2: []}  # workers -> (seconds, worker CPU seconds, seconds of open_campaign)
    machine = []  # what two processes at once gain on this machine, pair by pair
    want = None
    for _ in range(pairs):
        for workers in (1, 2):
            *figures, result = timed_run(folder, paths, workers)
            assert want is None or all((a == b).all() for a, b in zip(result, want)), "runs disagree"
            want = result
            runs[workers].append(figures)
        machine.append(two_at_once(paths[:4]))
    print(f"{PRODUCTS} products, {int(want[0].sum())} samples, {bytes_of(paths) / 1e6:.0f} MB of products; "
          f"{pairs} pairs, a fresh cluster for each run; load average {os.getloadavg()[0]:.1f}")
    for workers, figures in runs.items():
        seconds, cpu, opened = (statistics.median(f[i] for f in figures) for i in range(3))
        print(f"  {workers} worker{'s' if workers > 1 else ' '}  {seconds:6.2f} s, workers' CPU {cpu:6.2f} s; "
              f"open_campaign {opened:5.2f} s")
    ratios = [a[0] / b[0] for a, b in zip(runs[1], runs[2])]
    print(f"  one / two   {statistics.median(ratios):6.2f} (median of the pairs' ratios)\n"
          f"  the machine: two gzip -6 at once do {statistics.median(machine):.2f} times the work of one "
          f"in the same time (median of the pairs)")


def two_at_once(paths):
    """How much more two CPU-bound processes at once get done than one: the
    yardstick of the cores this machine gives now (2.0 on two idle cores)."""
    def seconds(count):
        start = time.perf_counter()
        runs = [subprocess.Popen(["gzip", "-6", "-c", *paths], stdout=subprocess.DEVNULL) for _ in range(count)]
        for run in runs:
            run.wait()
        return time.perf_counter() - start
    return 2 * seconds(1) / seconds(2)


def timed_run(folder, paths, workers):
    """Seconds of the reduction on a fresh cluster (no worker holds a
    product open or a decompressed chunk), the CPU seconds the workers spent
    in it, seconds of open_campaign, and the result."""
    import distributed
    import ifgtools
    with Cluster(folder, workers) as cluster, distributed.Client(cluster.address, timeout=60) as client:
        client.wait_for_workers(workers, timeout=60)
        start = time.perf_counter()
        ifg = ifgtools.open_campaign(paths, "interferogram")
        opened = time.perf_counter() - start
        sums = reduction(ifg)
        cpu = cluster.worker_cpu()
        start = time.perf_counter()
        with distributed.get_task_stream(client) as stream:
            result = client.gather(client.compute(sums))
        seconds = time.perf_counter() - start
        cpu = cluster.worker_cpu() - cpu
        assert len({t["worker"] for t in stream.data}) == workers, "a worker did nothing"
        assert result[0].sum() == ifg.sizes["sample"], "not every sample was counted"
        return seconds, cpu, opened, result


def memory(folder, paths):
    for count in (10, PRODUCTS):
        print(f"  {count:3d} products, {bytes_of(paths[:count]) / 1e6:.0f} MB:")
        for form in ("one pass", "three results"):
            with Cluster(folder, 2) as cluster:
                _, peak = client_run(form, cluster.address, paths[:count])
                workers = cluster.worker_peaks()
            _, local = client_run(form, "local", paths[:count])
            print(f"    {form:13s}  client {peak / 1e6:6.1f} MB, workers {' '.join(f'{w / 1e6:.1f}' for w in workers)} MB;"
                  f" local threads {local / 1e6:6.1f} MB")


def client_run(form, where, paths):
    env = dict(os.environ, PYTHONPATH=python_dir)
    run = subprocess.run([sys.executable, __file__, CLIENT, build, str(records), form, where, *paths], env=env,
                         capture_output=True, text=True, check=True)
    if run.stderr:
        raise SystemExit(f"campaign_bench: the client wrote on standard error ({len(run.stderr.splitlines())} "
                         f"lines), the first: {run.stderr.splitlines()[0]}")
    samples, peak = run.stdout.split()
    return int(samples), int(peak)


def bytes_of(paths):
    return sum(os.path.getsize(p) for p in paths)


def main():
    with tempfile.TemporaryDirectory(dir=build) as scratch:
        folder = folder_arg or scratch
        os.makedirs(folder, exist_ok=True)
        paths = make_products(folder)
        print(f"data: {data}, {records} records per raw file ({records * 10752 / 1e6:.1f} MB)")
        speed(scratch, paths)
        print("peak resident memory (VmHWM):")
        memory(scratch, paths)


if __name__ == "__main__":
    if as_client:
        client_main(sys.argv[4], sys.argv[5], sys.argv[6:])
    else:
        main()
