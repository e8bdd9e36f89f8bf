"""Shared fixtures: the built tools, generated telemetry files and their
archive products, and the tools' text written again from the module's
arrays."""

import os
import subprocess

import pytest

TOOLS = {name: os.environ.get(name.upper(), "") for name in
         ("ifgextract", "hkdump", "hkrawdump", "hkmonitor", "tlmsynth", "retrieve", "detsynth", "tlm2nc",
          "det2nc")}

# Generated telemetry, each file a row: the generator's options.  Between
# them: lost lock and sync rows missing or near the end of a subframe,
# status changes, carriage scans, heavy sample dropping, a cut last record,
# an hour field out of range, files too short for a record, and noise long
# enough for results of more than 1 MiB.
TELEMETRY = {
    "locks": ["-n", "40", "-k", "6", "-S", "7", "-s", "5x20,7x5,-1x3,100,106,0", "-t", "500"],
    "nosync_first": ["-n", "12", "-s", "-1x4,107x3,5", "-S", "3", "-d", "60"],
    "carriage": ["-n", "9", "-c", "-s", "40,41", "-t", "10751"],
    "whole": ["-n", "6", "-s", "3", "-w", "12:0=0xFFFF", "-w", "4:107=0x00AB", "-w", "12:65=0x0025"],
    "one_record": ["-n", "1"],
    "cut_only": ["-n", "0", "-t", "100"],
    "empty": ["-n", "0"],
    "long_noise": ["-n", "120", "-u", "-g", "-d", "10", "-s", "5x50,9"],
}


def run_tool(name, *args, stdin=None):
    """(stdout, stderr, status) of a built tool."""
    r = subprocess.run([TOOLS[name], *args], input=stdin, capture_output=True, check=False)
    return r.stdout, r.stderr, r.returncode


@pytest.fixture(scope="session")
def telemetry(tmp_path_factory):
    """Name -> path of every generated telemetry file."""
    folder = tmp_path_factory.mktemp("telemetry")
    paths = {}
    for name, options in TELEMETRY.items():
        paths[name] = str(folder / name)
        subprocess.run([TOOLS["tlmsynth"], *options, "-o", paths[name]], check=True)
    return paths


# The date of the products: the time of each subframe counts from it.
PRODUCT_DATE = "2024-03-01"


@pytest.fixture(scope="session")
def products(telemetry, tmp_path_factory):
    """Name -> path of the dated product (tlm2nc -d) of every generated file."""
    folder = tmp_path_factory.mktemp("products")
    return {name: make_product(path, str(folder / f"{name}.nc"), "-d", PRODUCT_DATE)
            for name, path in telemetry.items()}


def make_product(raw, product, *options):
    subprocess.run([TOOLS["tlm2nc"], *options, "-F", raw, "-o", product], check=True)
    return product


# ---- The tools' text, written again from arrays -------------------------------

def ifgextract_text(result, carriage):
    """ifgextract's standard output and closing message from a Samples."""
    notices = {}
    for n in result.notices.tolist():
        notices.setdefault((n[0], n[1]), []).append(n[2])
    samples = {}
    for s in result.samples.tolist():
        samples.setdefault((s[0], s[1]), []).append(s)
    words = {1: "#lost lock\n", 2: "#status changed\n"}
    out = []
    for record in range(1, result.last_record + 1):
        for sub in range(3) if record > 1 else ():
            out += [words[k] for k in notices.get((record, sub), [])]
            for s in samples.get((record, sub), []):
                values = " ".join("%5d" % v for v in s[4:])
                out.append("%5d %1d %5d %x %s\n" % (s[0], s[1], s[2], s[3], values))
        out.append("%d\n" % record)
    end = {"end of data": "No bytes read", "truncated": "Byte mismatch reading"}[result.end]
    return "".join(out).encode(), f"{end} at record {result.last_record + 1}\n".encode()


def housekeeping_text(result, group, raw, hex_flag=False):
    """hkdump's (raw: hkrawdump's) standard output and closing message."""
    reports = {(p[0], p[1]): p[2] for p in result.positions.tolist()}
    out = []
    for word, record, sub, values in result.lines.tolist():
        if (record, sub) in reports:
            out.append("ait affset %d\n" % reports[(record, sub)])
        out.append("%x %5d %d\t" % (word, record, sub) + group_text(values, group, raw, hex_flag) + "\n")
    end = {"end of data": "No data", "truncated": "Mismatch data"}[result.end]
    return "".join(out).encode(), f"{end} at record {result.last_record + 1}\n".encode()


def group_text(values, group, raw, hex_flag):
    if not isinstance(group, str):
        return ("%x" if hex_flag else "%d") % values[0]
    if raw:
        return " ".join("%x" % v for v in values)
    prefix = "%4d\t%2d %2d %2d\t" % tuple(values[:4])
    if group == "m":
        return prefix + "| %4d %4d | %4d | %4d %4d | %4d %4d | %2d |" % tuple(values[4:])
    return prefix + " ".join(str(v) for v in values[4:])


# ---- What a process that read a campaign holds ---------------------------------

def open_files():
    """The files this process has open."""
    names = set()
    for fd in os.listdir("/proc/self/fd"):
        try:
            names.add(os.readlink(f"/proc/self/fd/{fd}"))
        except FileNotFoundError:  # the folder's own descriptor, closed since
            pass
    return names


def campaign_files_state():
    """What this process holds after reading a campaign: (the products it
    has open, by /proc/self/fd; the variables of the products it holds open
    whose chunk cache would keep a decompressed chunk; the products xarray's
    own cache of files holds)."""
    import math
    from xarray.backends.file_manager import FILE_CACHE
    from ifgtools import _product_files as files
    products = [name for name in open_files() if name.endswith(".nc")]
    keeping = []
    with files.HDF5_LOCK:
        for root in files._open_products.values():
            for v in files.variables(root):
                storage = v.chunking()
                chunk = getattr(v.dtype, "itemsize", 8) * math.prod(storage) if isinstance(storage, list) else 0
                if v.get_var_chunk_cache()[0] >= chunk > 0:
                    keeping.append(f"{root.filepath()}:{v.group().path}/{v.name}")
    xarray_held = [f.filepath() for f in FILE_CACHE.values() if hasattr(f, "filepath")]
    return sorted(products), keeping, xarray_held
