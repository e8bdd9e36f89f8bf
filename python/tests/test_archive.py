"""Archive products read back through xarray with CF decoding: every
variable of every group equals what the module's own functions give for the
raw file; a campaign is its products end to end, each element named by its
file, and stays lazy."""

import hashlib
import json
import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest

import ifgtools
from conftest import PRODUCT_DATE, TELEMETRY, TOOLS, make_product

pytest.importorskip("xarray", reason="python3-xarray is not installed")
pytest.importorskip("netCDF4", reason="python3-netcdf4 is not installed")
pytest.importorskip("dask", reason="python3-dask is not installed")

FILES = sorted(TELEMETRY)
NAMED_GROUPS = {"f": "fast_sap", "s": "slow_sap", "p": "pressure", "m": "mask_temperature",
                "v": "voltage_monitors", "x": "auxiliary_detector"}
TIMES = {"interferogram", "carriage", "housekeeping"}  # the groups with a time coordinate


def same(got, want):
    """Equal shapes, types and values; NaN and NaT equal themselves."""
    return got.dtype == want.dtype and np.array_equal(got, want, equal_nan=want.dtype.kind in "fmM")


# ---- Each group as the module gives it: variable -> array ----------------------

def raw_group(path):
    r = ifgtools.read_records(path)
    data = pathlib.Path(path).read_bytes()
    return {"words": r.subframes, "trailer": r.trailers, "sync_row": r.sync_rows,
            "partial": np.frombuffer(data[len(data) - r.partial_bytes:], np.uint8)}


def sample_group(carriage):
    def group(path):
        result = ifgtools.interferogram_samples(path, carriage=carriage)
        arrays = {f: result.samples[f] for f in result.samples.dtype.names}
        arrays.update({"notice_" + f: result.notices[f] for f in result.notices.dtype.names})
        return arrays
    return group


def housekeeping_group(path):
    def values(group, raw=False):
        return ifgtools.housekeeping(path, group, raw=raw).lines["values"]
    lines = ifgtools.housekeeping(path, "f").lines
    arrays = {f: lines[f] for f in ("record", "subframe", "sync_word")}
    arrays.update(zip(("interferogram", "hour", "minute", "second"), values("f")[:, :4].T))
    for letter, name in NAMED_GROUPS.items():
        # The auxiliary line prints a literal 0 after each of its flags.
        arrays[name] = values(letter)[:, 4::2] if letter == "x" else values(letter)[:, 4:]
        arrays["raw_" + name] = values(letter, raw=True)
    for prefix, raw in (("", False), ("raw_", True)):
        arrays[prefix + "channels"] = np.stack([values(k, raw)[:, 0] for k in range(108)], axis=-1)
    return arrays


# Group -> (its arrays from the module, whether the product keeps the module's
# types: the housekeeping values come as int32 whatever the channel's word).
GROUPS = {
    "raw": (raw_group, True),
    "interferogram": (sample_group(False), True),
    "carriage": (sample_group(True), True),
    "housekeeping": (housekeeping_group, False),
}


@pytest.mark.parametrize("group", sorted(GROUPS))
@pytest.mark.parametrize("name", FILES)
def test_every_variable_equals_the_module(products, telemetry, name, group):
    ds = ifgtools.open_product(products[name], group)
    arrays, same_types = GROUPS[group]
    want = arrays(telemetry[name])
    time = {"time"} if group in TIMES else set()
    assert set(ds.data_vars) | time == set(want) | time
    for variable, expected in want.items():
        got = ds[variable].values
        assert got.dtype == expected.dtype if same_types else got.dtype.kind in "iu", variable
        assert got.shape == expected.shape and np.array_equal(got, expected), variable
    # The product's own attributes come with every group.
    samples = ifgtools.interferogram_samples(telemetry[name])
    data = pathlib.Path(telemetry[name]).read_bytes()
    assert (ds.attrs["source"], ds.attrs["end"], ds.attrs["partial_bytes"], ds.attrs["source_bytes"],
            ds.attrs["source_sha256"]) == (os.path.basename(telemetry[name]), samples.end,
                                           samples.partial_bytes, len(data), hashlib.sha256(data).hexdigest())


def seconds_of_day(hk):
    """Each line's time of day from its printed fields; NaN out of range."""
    h, m, s = (hk[f].values.astype(np.float64) for f in ("hour", "minute", "second"))
    return np.where((h < 24) & (m < 60) & (s < 60), h * 3600 + m * 60 + s, np.nan)


@pytest.mark.parametrize("name", ["locks", "whole", "empty"])
def test_time_decodes_to_dates_and_nat(products, telemetry, tmp_path, name):
    hk = ifgtools.open_product(products[name], "housekeeping")
    seconds = seconds_of_day(hk)
    assert name != "whole" or np.isnan(seconds).all()  # its hour field reads 25
    want = np.datetime64(PRODUCT_DATE, "ns") + (seconds * 1e9).astype("timedelta64[ns]")
    want[np.isnan(seconds)] = np.datetime64("NaT")
    assert same(hk.time.values, want)
    # Each sample carries the time of the subframe it came from.
    line_of = {(r, s): i for i, (r, s) in enumerate(zip(hk.record.values, hk.subframe.values))}
    for group in ("interferogram", "carriage"):
        ds = ifgtools.open_product(products[name], group)
        lines = [line_of[key] for key in zip(ds.record.values, ds.subframe.values)]
        assert same(ds.time.values, want[lines])
    # Without a date: the time of day in seconds.
    undated = ifgtools.open_product(make_product(telemetry[name], str(tmp_path / "u.nc")), "housekeeping")
    assert "time" not in undated.variables
    assert same(undated.time_of_day.values, seconds)


# ---- Campaigns -----------------------------------------------------------------

# Out of sorted order, an empty product between, relative names, and one
# longer than a storage chunk of samples (2**18).
CAMPAIGN = ["locks.nc", "empty.nc", "long.nc", "carriage.nc", "nosync_first.nc", "cut_only.nc"]


@pytest.fixture
def campaign_folder(products, monkeypatch):
    folder = os.path.dirname(products["locks"])
    if not os.path.exists(os.path.join(folder, "long.nc")):
        raw = os.path.join(folder, "long.tlm")
        subprocess.run([TOOLS["tlmsynth"], "-n", "240", "-o", raw], check=True)
        make_product(raw, os.path.join(folder, "long.nc"), "-d", PRODUCT_DATE)
    monkeypatch.chdir(folder)


@pytest.mark.parametrize("group,growing", [
    ("raw", ["record", "partial_byte"]),
    ("interferogram", ["sample", "notice"]),
    ("carriage", ["sample", "notice"]),
    ("housekeeping", ["line"]),
])
def test_campaign_is_its_products_end_to_end(campaign_folder, group, growing):
    campaign = ifgtools.open_campaign(CAMPAIGN, group)
    singles = [ifgtools.open_product(p, group) for p in CAMPAIGN]
    tags = {dim: "file" if i == 0 else f"{dim}_file" for i, dim in enumerate(growing)}
    assert set(campaign.variables) - set(tags.values()) == set(singles[0].variables)
    storage = {v.dims[0]: v.encoding["chunksizes"][0] for v in singles[0].data_vars.values()}
    for name, variable in campaign.variables.items():
        dim = variable.dims[0] if variable.dims else None
        sizes = [s.sizes[dim] for s in singles] if dim in growing else None
        if name in tags.values():
            want = np.repeat(CAMPAIGN, sizes).astype(object)
        elif sizes:
            want = np.concatenate([s[name].values for s in singles])
        else:
            want = singles[0][name].values
        assert same(variable.values, want), name
        if sizes:
            # Lazy, in chunks of whole storage chunks, none across two
            # products nor splitting the other dimensions.
            chunks = variable.chunks
            assert chunks is not None and all(len(c) == 1 for c in chunks[1:]), name
            ends, starts = np.cumsum(chunks[0]), np.cumsum([0] + sizes)
            product = np.searchsorted(starts, ends, side="left")  # the product each chunk ends in
            assert all(e == starts[p] or (e - starts[p - 1]) % storage[dim] == 0
                       for e, p in zip(ends, product)), name


def test_campaign_from_a_pattern_is_sorted(campaign_folder):
    campaign = ifgtools.open_campaign("*.nc", "housekeeping")
    names = sorted([f"{n}.nc" for n in TELEMETRY] + ["long.nc"])
    assert list(dict.fromkeys(campaign.file.values)) == [n for n in names if n not in ("empty.nc", "cut_only.nc")]
    assert campaign.sizes["line"] == sum(ifgtools.open_product(n, "housekeeping").sizes["line"] for n in names)


def test_campaign_read_in_threads_keeps_little_and_prints_nothing(campaign_folder):
    """A fresh process reads a campaign of more products than it holds open,
    in dask's threads, where each product is opened again, and then a
    pickled copy of it, as a dask worker gets it: it holds at most
    OPEN_PRODUCTS open, in ifgtools' cache, none keeping decompressed
    chunks, and the netCDF library's probes for absent attributes print
    nothing.  (xarray's warnings about the hour field 25 of whole.nc are
    left out.)"""
    from ifgtools._product_files import OPEN_PRODUCTS
    names = sorted(p for p in os.listdir() if p.endswith(".nc"))
    assert 2 * len(names) > OPEN_PRODUCTS  # a product is opened for sample and for notice
    script = ("import json, pickle, sys, ifgtools\n"
              "from conftest import campaign_files_state\n"
              "ifg = ifgtools.open_campaign(sys.argv[1:], 'interferogram')\n"
              "copy = pickle.loads(pickle.dumps(ifg))\n"
              "sums = [int(c.detector1.sum().compute()) for c in (ifg, copy)]\n"
              "print(json.dumps([sums, *campaign_files_state()]))\n")
    tests = os.path.dirname(os.path.abspath(__file__))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, [os.environ.get("PYTHONPATH"), tests])))
    r = subprocess.run([sys.executable, "-W", "ignore::RuntimeWarning", "-c", script, *names],
                       capture_output=True, text=True, env=env, timeout=120)
    assert r.returncode == 0 and r.stderr == "", r.stderr[-3000:]
    sums, products, keeping, xarray_held = json.loads(r.stdout)
    assert sums == [sum(int(ifgtools.open_product(n, "interferogram").detector1.sum()) for n in names)] * 2
    assert 0 < len(products) <= OPEN_PRODUCTS and keeping == [] and xarray_held == []


@pytest.mark.parametrize("call,error,words", [
    (lambda p: ifgtools.open_product(p["locks"] + ".none", "raw"), FileNotFoundError, "No such file"),
    (lambda p: ifgtools.open_product(p["locks"], "spectrum"), OSError, "spectrum"),
    (lambda p: ifgtools.open_campaign([p["locks"], p["locks"] + ".none"], "raw"), FileNotFoundError, "No such file"),
    (lambda p: ifgtools.open_campaign([], "raw"), ValueError, "at least one product"),
    (lambda p: ifgtools.open_campaign(os.path.join(os.path.dirname(p["locks"]), "*.none"), "raw"),
     ValueError, "at least one product"),
])
def test_faults_raise(products, call, error, words):
    with pytest.raises(error, match=words):
        call(products)


def test_module_imports_without_xarray_dask_and_netcdf4(products):
    """Without them only the two functions fail, naming the packages."""
    script = ("import sys; sys.modules.update(dict.fromkeys(['xarray', 'dask', 'dask.array', 'netCDF4']))\n"
              "import ifgtools\n"
              "for call in (ifgtools.open_product, ifgtools.open_campaign):\n"
              "    try: call([sys.argv[1]], 'raw')\n"
              "    except ImportError as e: print(e)\n")
    r = subprocess.run([sys.executable, "-c", script, products["locks"]], capture_output=True, text=True,
                       timeout=60)
    assert r.returncode == 0, r.stderr
    assert r.stdout.splitlines() == [
        "ifgtools.open_product needs xarray, netCDF4: apt-get install python3-xarray python3-netcdf4",
        "ifgtools.open_campaign needs xarray, netCDF4, dask: "
        "apt-get install python3-xarray python3-netcdf4 python3-dask"]


# ---- Detection products ----------------------------------------------------------

# Two files whose longest blocks differ: detsynth's options.
DETECTIONS = {"wide": ["-n", "4", "-s", "500", "-c", "3000"], "narrow": ["-n", "3", "-s", "120", "-c", "700"]}


@pytest.fixture(scope="module")
def detections(tmp_path_factory):
    """Name -> (detection file, its product)."""
    folder = tmp_path_factory.mktemp("detections")
    files = {}
    for name, options in DETECTIONS.items():
        det, product = str(folder / f"{name}.det"), str(folder / f"{name}.nc")
        subprocess.run([TOOLS["detsynth"], *options, "-o", det], check=True)
        subprocess.run([TOOLS["det2nc"], "-F", det, "-o", product], check=True)
        files[name] = det, product
    return files


def detection_arrays(entries, width, spectral_width):
    """What read_detection gives, as a product holds it (NaN past each count)."""
    def padded(blocks, n):
        out = np.full((len(blocks), n), np.nan, np.float32)
        for row, block in zip(out, blocks):
            row[:len(block)] = block
        return out
    return {"number": [e.number for e in entries], "first": [e.first for e in entries],
            "sample_count": [len(e.samples) for e in entries], "spectrum_count": [len(e.spectrum) for e in entries],
            **{name: [getattr(e, name) for e in entries]
               for name in ("spectrum_header", "sample_axis", "sample_code", "interferogram_trailer",
                            "spectral_axis", "spectrum_code", "spectrum_trailer")},
            "samples": padded([e.samples for e in entries], width),
            "spectrum": padded([e.spectrum for e in entries], spectral_width)}


@pytest.mark.parametrize("name", sorted(DETECTIONS))
def test_detection_product_equals_read_detection(detections, name):
    det, product = detections[name]
    ds = ifgtools.open_product(product)
    for variable, want in detection_arrays(ifgtools.read_detection(det), ds.sizes["sample"],
                                           ds.sizes["spectral_point"]).items():
        assert np.array_equal(ds[variable].values, want, equal_nan=variable in ("samples", "spectrum")), variable


def test_detection_campaign_pads_the_shorter_products(detections):
    names = ["narrow", "wide"]
    campaign = ifgtools.open_campaign([detections[n][1] for n in names])
    entries = [ifgtools.read_detection(detections[n][0]) for n in names]
    want = detection_arrays(entries[0] + entries[1], 500, 3000)
    assert campaign.sizes["sample"] == 500 and campaign.samples.dtype == np.float32
    assert set(campaign.variables) == set(ifgtools.open_product(detections["wide"][1]).variables) | {"file"}
    for variable, values in want.items():
        assert np.array_equal(campaign[variable].values, values, equal_nan=variable in ("samples", "spectrum")), variable
    assert list(campaign.file.values) == [detections[n][1] for n, e in zip(names, entries) for _ in e]
