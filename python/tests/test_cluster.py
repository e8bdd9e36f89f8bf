"""A campaign reduced on a real dask.distributed cluster: a scheduler and two
workers started on 127.0.0.1 as a station starts them, the reductions
compared with NumPy on the module's arrays of the raw files.  Every wait is
bounded, and the processes are stopped whatever happens."""

import json
import subprocess
import sys
import time

import numpy as np
import pytest

import ifgtools
from conftest import TOOLS, make_product, open_files

distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")
pytest.importorskip("xarray", reason="python3-xarray is not installed")
pytest.importorskip("netCDF4", reason="python3-netcdf4 is not installed")
import dask.array as da  # noqa: E402  (distributed brings dask)

PRODUCTS = 20
TIMEOUT = 60  # seconds, for every start, connection and result
HOST = "127.0.0.1"


@pytest.fixture(scope="module")
def campaign(tmp_path_factory):
    """(raw files, their products): interferogram numbers overlapping from
    file to file, a different pressure word in each."""
    folder = tmp_path_factory.mktemp("campaign")
    raws = [str(folder / f"run{i:02d}.tlm") for i in range(PRODUCTS)]
    for i, raw in enumerate(raws):
        subprocess.run([TOOLS["tlmsynth"], "-n", "9", "-k", "2", "-i", str(1 + 3 * (i % 4)), "-r", str(i + 1),
                        "-w", f"12:41={0x8000 + 0x130 * i:#x}", "-o", raw], check=True, timeout=TIMEOUT)
    return raws, [make_product(raw, raw + ".nc") for raw in raws]


@pytest.fixture(scope="module")
def client(tmp_path_factory):
    """A client of a scheduler and two single-thread workers on 127.0.0.1,
    all on ports the system chose (their web servers too), without
    dashboards."""
    folder = tmp_path_factory.mktemp("cluster")
    log = open(folder / "cluster.log", "wb")
    processes = []

    def start(*argv):
        argv += ("--host", HOST, "--no-dashboard", "--dashboard-address", f"{HOST}:0")
        processes.append(subprocess.Popen([sys.executable, "-m", "dask", *argv], stdout=log,
                                          stderr=subprocess.STDOUT, cwd=folder))
    try:
        start("scheduler", "--port", "0", "--idle-timeout", "600s",
              "--scheduler-file", str(folder / "scheduler.json"))
        address = scheduler_address(folder / "scheduler.json", processes[0])
        for i in range(2):
            start("worker", address, "--nthreads", "1", "--no-nanny",
                  "--death-timeout", f"{TIMEOUT}s", "--local-directory", str(folder / f"worker{i}"))
        with distributed.Client(address, timeout=TIMEOUT) as c:
            c.wait_for_workers(2, timeout=TIMEOUT)
            yield c
    finally:
        for p in processes:
            p.terminate()
        for p in processes:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        log.close()


def scheduler_address(path, scheduler):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        assert scheduler.poll() is None, "the scheduler ended at start"
        try:
            return json.loads(path.read_text())["address"]
        except (FileNotFoundError, json.JSONDecodeError, KeyError):
            time.sleep(0.1)
    pytest.fail(f"no scheduler address after {TIMEOUT} s")


def test_campaign_reduced_on_two_workers_equals_numpy(client, campaign):
    raws, products = campaign
    ifg = ifgtools.open_campaign(products, "interferogram")
    number = ifg.interferogram.data
    sums = da.bincount(number, weights=ifg.detector1.data, minlength=1 << 16)
    counts = da.bincount(number, minlength=1 << 16)
    hk = ifgtools.open_campaign(products, "housekeeping")
    highest = hk.pressure.max("pressure_channel")
    # The workers opened the products; this process holds none open.
    assert not open_files() & set(products)
    with distributed.get_task_stream(client) as stream:
        sums, counts, highest, files = [f.result(timeout=TIMEOUT) for f in client.compute(
            [sums, counts, highest.data, hk.file.data])]
    assert {t["worker"] for t in stream.data} == set(client.scheduler_info()["workers"])
    assert all(w.startswith(f"tcp://{HOST}:") for w in client.scheduler_info()["workers"])

    samples = [ifgtools.interferogram_samples(raw).samples for raw in raws]
    number = np.concatenate([s["interferogram"] for s in samples])
    want = np.bincount(number, weights=np.concatenate([s["detector1"] for s in samples]), minlength=1 << 16)
    assert np.array_equal(counts, np.bincount(number, minlength=1 << 16))
    assert np.array_equal(sums, want)  # sums of integers well below 2**53: exact in any order
    assert len(set(number)) > 4 and np.ptp(want[counts > 0] / counts[counts > 0]) > 0

    per_file = {p: highest[files == p].max() for p in products}
    want = {p: ifgtools.housekeeping(raw, "p").lines["values"][:, 4:].max() for raw, p in zip(raws, products)}
    assert per_file == want and len(set(want.values())) == PRODUCTS
