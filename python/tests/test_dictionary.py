"""Dictionaries and limits through the module against hkmonitor itself: the
same faults with the same messages, and check_limits' arrays written out as
hkmonitor's lines, byte for byte, on telemetry whose channels drift and
step; housekeeping() with the values named and calibrated, and tlm2nc -D's
products against it."""

import hashlib
import os
import pathlib
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import ifgtools
from conftest import TOOLS, make_product, run_tool

ENTRY = """[[channel]]
name = "{name}"
description = "{name}"
units = "{units}"
column = {column}
group = "{group}"
number = {number}
form = "{form}"
{rest}
"""


def entry(name, units, column, group, number, form, rest=""):
    return ENTRY.format(name=name, units=units, column=column, group=group, number=number,
                        form=form, rest=rest)


DICTIONARY = "".join([
    entry("bus", "V", 12, "voltage_monitors", 68, "top 12",
          "polynomial = [0.0, 0.01]\nyellow_high = 30\nred_high = 35\npersistence = 2"),
    entry("mask", "degC", 12, "mask_temperature", 19, "top 10",
          "table = [[0, -50.0], [500, 0.0], [1023, 60.0]]\nyellow_low = -20\nred_low = -40"),
    entry("gauge", "count", 4, "pressure", 41, "raw", "red_low = 100"),
    entry("dc_flags", "", 12, "generic", 58, "raw", "yellow_high = 3"),
    entry("seconds", "s", 12, "time", 66, "BCD low"),
    entry("pressure_1", "Pa", 12, "pressure", 41, "top 12", "polynomial = [1.0, 2.0]"),
])

# Channel -> (column, word per record): a drift, a step, a dip.
RECORDS = 40


def words(record):
    return {
        (12, 68): int(100 * (28 + 0.25 * record)) << 4,           # drifts through 30 and 35
        (12, 19): (520 if record < 20 else 120) << 6,             # steps down into red
        (4, 41): 50 if 10 <= record < 13 else 200,                # dips below its limit
        (12, 58): 0x0003 | (0x20 if record % 7 == 6 else 0),      # the status bit now and then
    }


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    """The dictionary, and generated telemetry with its channels set
    record by record (sync row 5 in every subframe), whole and cut."""
    folder = tmp_path_factory.mktemp("limits")
    dictionary = folder / "station.toml"
    dictionary.write_text(DICTIONARY)
    base = folder / "base.tlm"
    subprocess.run([TOOLS["tlmsynth"], "-n", str(RECORDS), "-o", str(base)], check=True)
    stored = np.frombuffer(base.read_bytes(), dtype=">u2").reshape(RECORDS, -1).copy()
    for record in range(RECORDS):
        for (column, channel), word in words(record).items():
            for sub in range(3):
                stored[record, sub * 1728 + (5 + channel) % 108 * 16 + column] = word
    data = stored.astype(">u2").tobytes()
    paths = {"dictionary": str(dictionary)}
    for name, content in {"whole": data, "cut": data + data[:5000]}.items():
        paths[name] = str(folder / name)
        pathlib.Path(paths[name]).write_bytes(content)
    return paths


def monitor_text(check):
    """hkmonitor's standard output, written again from a LimitCheck."""
    def value(v, units):
        return "%.6g" % v + (" " + units if units else "")
    out = []
    for t in check.transitions:
        out.append("%5d %d\t%02d:%02d:%02d\t%s\t%s\t%s\t%s %s %s\n" % (
            t["record"], t["subframe"], t["hours"], t["minutes"], t["seconds"], t["name"],
            value(t["value"], t["units"]), t["state"], "above" if t["above"] else "below",
            t["limit"], "%.6g" % t["limit_value"]))
    out.append("#channel\tvalues\tGREEN\tYELLOW\tRED\tworst\tworst_state\n")
    for s in check.summary:
        worst = "-\t-" if s["worst_state"] == "" else value(s["worst"], s["units"]) + "\t" + s["worst_state"]
        out.append("%s\t%d\t%d\t%d\t%d\t%s\n" % (s["name"], s["values"], s["green"], s["yellow"],
                                                 s["red"], worst))
    return "".join(out).encode()


@pytest.mark.parametrize("name", ["whole", "cut"])
def test_check_limits_gives_hkmonitors_lines(files, name):
    check = ifgtools.check_limits(files[name], files["dictionary"])
    out, err, status = run_tool("hkmonitor", "-D", files["dictionary"], "-F", files[name])
    assert monitor_text(check) == out
    assert check.status == status
    assert check.end == ("truncated" if name == "cut" else "end of data")
    # Every channel drifted, stepped or dipped somewhere.
    assert set(check.transitions["name"]) == {"bus", "mask", "gauge", "dc_flags"}
    assert status == (3 if name == "cut" else 2)


@pytest.mark.parametrize("source", ["bytes", "file", "dictionary object"])
def test_check_limits_takes_every_source(files, source):
    path = files["whole"]
    dictionary = files["dictionary"]
    if source == "dictionary object":
        dictionary = ifgtools.read_dictionary(dictionary)
    src = {"bytes": lambda: pathlib.Path(path).read_bytes(), "file": lambda: open(path, "rb"),
           "dictionary object": lambda: path}[source]()
    got = ifgtools.check_limits(src, dictionary)
    want = ifgtools.check_limits(path, files["dictionary"])
    assert monitor_text(got) == monitor_text(want)


FAULTS = [
    entry("bus", "V", 12, "voltage_monitors", 68, "top 12", "yellow_high = 3\nred_high = 2"),
    entry("bus", "V", 12, "voltage_monitors", 72, "top 12"),
    entry("bus", "V", 12, "voltage_monitors", 68, "top 12", "table = [[5, 1], [5, 2]]"),
    entry("bus", "V", 12, "voltage_monitors", 68, "top 12") * 2,
    "[[channel]]\nname = 'x'\nname = 'y'\n",
]


@pytest.mark.parametrize("text", FAULTS)
def test_faults_give_hkmonitors_messages(tmp_path, text):
    path = tmp_path / "bad.toml"
    path.write_text(text)
    with pytest.raises(ValueError) as fault:
        ifgtools.read_dictionary(path)
    _, err, status = run_tool("hkmonitor", "-D", str(path), "-l")
    assert (status, err.decode()) == (3, f"hkmonitor: {fault.value}\n")
    with pytest.raises(OSError):
        ifgtools.read_dictionary(tmp_path / "none.toml")


def test_dictionary_as_hkmonitor_lists_it(files):
    d = ifgtools.read_dictionary(files["dictionary"])
    out, _, _ = run_tool("hkmonitor", "-D", files["dictionary"], "-l")
    rows = [line.split("\t") for line in out.decode().splitlines()[1:]]
    assert [r[0] for r in rows] == [c.name for c in d]
    for c, r in zip(d, rows):
        assert (c.units, str(c.column), c.group, str(c.number), c.form, str(c.position)) == tuple(r[1:7])
    assert d["mask"].calibration == ("table", [(0.0, -50.0), (500.0, 0.0), (1023.0, 60.0)])
    assert d["bus"].limits == {"yellow_high": 30.0, "red_high": 35.0}
    assert [c.name for c in d.limited] == ["bus", "mask", "gauge", "dc_flags"]
    assert d["seconds"].persistence is None


def test_housekeeping_names_and_calibrates_values(files):
    d = ifgtools.read_dictionary(files["dictionary"])
    path = files["whole"]
    pressure = ifgtools.housekeeping(path, "p", dictionary=d)
    plain = ifgtools.housekeeping(path, "p")
    assert pressure.lines.dtype.names == ("sync_word", "record", "subframe", "values", "seconds",
                                          "pressure_1")
    assert np.array_equal(pressure["values"], plain["values"])
    assert np.array_equal(pressure["seconds"], plain["values"][:, 3].astype(float))
    assert np.array_equal(pressure["pressure_1"], 1.0 + 2.0 * plain["values"][:, 4])
    mask = ifgtools.housekeeping(path, "m", dictionary=files["dictionary"])
    counts = plain_mask = ifgtools.housekeeping(path, "m")["values"][:, 6]
    assert np.array_equal(mask["mask"], np.where(counts < 500, -50 + counts / 10, (counts - 500) * 60 / 523))
    # The raw column and a generic channel name theirs; another channel none.
    assert ifgtools.housekeeping(path, "p", raw=True, dictionary=d).lines.dtype.names[-1] == "gauge"
    assert np.all(ifgtools.housekeeping(path, 58, dictionary=d)["dc_flags"] >= 3)
    assert len(ifgtools.housekeeping(path, 57, dictionary=d).lines.dtype.names) == 4
    del plain_mask


def test_shipped_dictionary_names_every_value_in_counts():
    d = ifgtools.read_dictionary(os.environ["DEFAULT_DICTIONARY"])
    assert not d.limited
    assert {c.units for c in d} == {"count"}
    with pytest.raises(ValueError, match="no channel has limits"):
        ifgtools.check_limits(b"", d)


# ---- tlm2nc -D: the named values of a product ------------------------------------

# The dictionary above, and a value of each kind of place it lacks: the
# fast sap difference (negative counts), an auxiliary flag (its line holds a
# literal 0 after each), a generic channel of column 4, a table whose ends
# the counts pass.
NAMED = DICTIONARY + "".join([
    entry("sap_difference", "count", 12, "fast_sap", 3, "difference", "polynomial = [0.5, -1.0]"),
    entry("aux_flag", "", 12, "auxiliary_detector", 92, "flag"),
    entry("spare_word", "count", 4, "generic", 107, "raw", "table = [[100, 1.0], [200, 3.0]]"),
])
LETTERS = {"time": "p", "fast_sap": "f", "slow_sap": "s", "pressure": "p", "mask_temperature": "m",
           "voltage_monitors": "v", "auxiliary_detector": "x"}


@pytest.fixture(scope="module")
def named_products(files, telemetry, tmp_path_factory):
    """Name -> (raw file, its product with NAMED, its product without)."""
    folder = tmp_path_factory.mktemp("named")
    dictionary = folder / "named.toml"
    dictionary.write_text(NAMED)
    long = str(folder / "long")  # past the first chunk of lines
    subprocess.run([TOOLS["tlmsynth"], "-n", "700", "-u", "-g", "-d", "10", "-s", "5x300,-1x3,7",
                    "-o", long], check=True)
    sources = {"whole": files["whole"], "cut": files["cut"], "long": long,
               "nosync_first": telemetry["nosync_first"], "empty": telemetry["empty"]}
    return str(dictionary), {
        name: (raw, make_product(raw, str(folder / f"{name}.nc"), "-D", str(dictionary)),
               make_product(raw, str(folder / f"{name}.plain.nc")))
        for name, raw in sources.items()}


@pytest.mark.parametrize("name", ["whole", "cut", "long", "nosync_first", "empty"])
def test_tlm2nc_names_and_calibrates_as_housekeeping(named_products, name):
    xr = pytest.importorskip("xarray", reason="python3-xarray is not installed")
    pytest.importorskip("netCDF4", reason="python3-netcdf4 is not installed")
    path, products = named_products
    raw, product, plain = products[name]
    d = ifgtools.read_dictionary(path)
    hk = ifgtools.open_product(product, "housekeeping")
    for c in d:
        group = c.number if c.group == "generic" else LETTERS[c.group]
        want = ifgtools.housekeeping(raw, group, raw=c.column == 4, dictionary=d).lines[c.name]
        v = hk[c.name]
        assert v.dims == ("line",) and v.dtype == np.float64 and np.array_equal(v.values, want), c.name
        # Its counts, and their name there.
        counts = hk[v.attrs["counts_variable"]]
        index = v.attrs.get("counts_index")
        assert counts.attrs["value_names"].split()[0 if index is None else index] == c.name
        counts = counts.values if index is None else counts.values[:, index]
        assert np.array_equal(d.calibrate(c.name, counts), want), c.name
        kind, terms = c.calibration or ("none", [])
        got = {"polynomial": "calibration_coefficients", "table": "calibration_counts"}.get(kind)
        got = list(np.atleast_1d(v.attrs[got])) if got else []
        if kind == "table":
            got = list(zip(got, np.atleast_1d(v.attrs["calibration_values"])))
        assert (v.attrs["calibration"], got) == (kind, terms), c.name
        assert (v.attrs["long_name"], v.attrs.get("units", "")) == (c.description, c.units)
        assert {k: v.attrs[k] for k in ifgtools.dictionary.LIMITS if k in v.attrs} == c.limits, c.name
        assert v.attrs.get("persistence") == c.persistence, c.name
    if name in ("whole", "cut"):  # the drifting bus voltage, by hand
        counts = (100 * (28 + 0.25 * (hk.record.values - 1))).astype(int)
        assert np.array_equal(hk.bus.values, 0.01 * counts)
    # Nothing else differs from the product made without the dictionary.
    assert (hk.attrs.pop("dictionary"), hk.attrs.pop("dictionary_sha256")) == (
        "named.toml", hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest())
    hk = hk.drop_vars([c.name for c in d])
    plain = ifgtools.open_product(plain, "housekeeping")
    for ds in (hk, plain):
        for key in ("history", "date_created"):
            del ds.attrs[key]
        for v in ds.variables.values():
            v.attrs.pop("value_names", None)
    xr.testing.assert_identical(hk, plain)


COUNTS = [  # counts of "bus" (0.01 V a count), and what calibrate gives or raises
    (np.array([-2**31, 0, 2**31 - 1]), np.array([-2**31, 0, 2**31 - 1]) * 0.01),
    (np.array([[7, 8], [9, 10]], np.uint16), np.array([[7, 8], [9, 10]]) * 0.01),
    (np.array([2**31 - 1], np.uint64), np.array([2**31 - 1]) * 0.01),
    (np.array([2**31]), (ValueError, "count 2147483648 lies outside the 32-bit counts")),
    (np.array([-2**31 - 1]), (ValueError, "count -2147483649 lies outside")),
    (np.array([2**40]), (ValueError, "count 1099511627776 lies outside")),
    (np.array([2**64 - 1], np.uint64), (ValueError, "count 18446744073709551615 lies outside")),
    (np.array([1.5]), (TypeError, "counts must be integers, not float64")),
    (np.array([2.0], np.float32), (TypeError, "not float32")),
    (np.array([True]), (TypeError, "not bool")),
]


@pytest.mark.parametrize("counts, want", COUNTS)
def test_calibrate_takes_32_bit_counts_only(files, counts, want):
    d = ifgtools.read_dictionary(files["dictionary"])
    if isinstance(want, tuple):
        with pytest.raises(want[0], match=want[1]):
            d.calibrate("bus", counts)
    else:
        got = d.calibrate("bus", counts)
        assert got.dtype == np.float64 and got.shape == counts.shape
        assert np.array_equal(got, want)


def test_limit_collector_is_not_read_while_a_push_runs(files, tmp_path):
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    collector = ifgtools._ifgtools.LimitCollector(ifgtools.read_dictionary(files["dictionary"])._handle)
    reader = threading.Thread(target=collector.push_path, args=(str(fifo),), daemon=True)
    # The writer's open and the push's wait for each other, whichever comes
    # first; the writer is closed only once both are open, so the push
    # then sees the end of the data.
    writers = []
    opener = threading.Thread(target=lambda: writers.append(os.open(fifo, os.O_WRONLY)),
                              daemon=True)
    reader.start()
    opener.start()
    try:
        deadline = time.monotonic() + 10
        while True:  # until the push holds the collector, waiting for data
            try:
                collector.records
            except RuntimeError:
                break
            assert time.monotonic() < deadline, "the records were read during a push"
            time.sleep(0.01)
        for read in (collector.summary, lambda: collector.values, lambda: collector.worst_severity):
            with pytest.raises(RuntimeError, match="in use by another thread"):
                read()
    finally:
        opener.join(10)
        for fd in writers:
            os.close(fd)
        reader.join(10)
    assert writers and not reader.is_alive(), "the push did not open the FIFO or did not end"
    assert collector.records == 0 and len(collector.summary()) == 4


def test_check_limits_reads_a_fifo_that_a_thread_feeds(files, tmp_path):
    """The FIFO's open waits without the interpreter's lock, so a writer
    thread of the same interpreter gets to open it (run apart, as a lock
    held there would hang the interpreter)."""
    fifo = str(tmp_path / "fifo")
    os.mkfifo(fifo)
    script = f"""
import threading, time, ifgtools
def feed():
    time.sleep(0.3)  # the check waits in its open first
    with open({fifo!r}, "wb") as w, open({files["whole"]!r}, "rb") as r:
        w.write(r.read())
threading.Thread(target=feed).start()
print(ifgtools.check_limits({fifo!r}, {files["dictionary"]!r}).status)
"""
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, timeout=60)
    assert (done.stdout, done.returncode) == (b"2\n", 0), done.stderr
