"""Every kind of source gives what a path gives; streams fed in random
pieces give what one call gives; faults raise the documented errors."""

import ast
import errno
import io
import os
import pathlib
import random
import socket
import subprocess
import sys
import threading

import numpy as np
import pytest

import ifgtools

CALLS = {
    "samples": lambda src: ifgtools.interferogram_samples(src),
    "carriage": lambda src: ifgtools.interferogram_samples(src, carriage=True),
    "hk": lambda src: ifgtools.housekeeping(src, "f"),
    "raw_mask": lambda src: ifgtools.housekeeping(src, "m", raw=True),
    "records": lambda src: ifgtools.read_records(src),
    "some_records": lambda src: ifgtools.read_records(src, start=3, count=5),
}


def same(a, b):
    """Two results hold the same arrays and values."""
    assert type(a) is type(b)
    for name in type(a).__slots__:
        x, y = getattr(a, name), getattr(b, name)
        if isinstance(x, np.ndarray):
            assert x.dtype == y.dtype and np.array_equal(x, y), name
        else:
            assert x == y, name


def from_socket(data):
    """A socket's file object, the bytes sent from a thread in pieces."""
    ours, theirs = socket.socketpair()

    def send():
        with theirs:
            for i in range(0, len(data), 4093):
                theirs.sendall(data[i:i + 4093])
    threading.Thread(target=send, daemon=True).start()
    return ours.makefile("rb")


def from_pipe(path):
    return subprocess.Popen(["cat", path], stdout=subprocess.PIPE).stdout


SOURCES = {
    "pathlib": lambda path, data: pathlib.Path(path),
    "bytes": lambda path, data: data,
    "bytearray": lambda path, data: bytearray(data),
    "memoryview": lambda path, data: memoryview(data),
    "numpy": lambda path, data: np.frombuffer(data, dtype=np.uint8),
    "file": lambda path, data: open(path, "rb"),
    "unbuffered": lambda path, data: open(path, "rb", buffering=0),
    "BytesIO": lambda path, data: io.BytesIO(data),
    "pipe": lambda path, data: from_pipe(path),
    "socket": lambda path, data: from_socket(data),
}


@pytest.mark.parametrize("call", sorted(CALLS))
@pytest.mark.parametrize("source", sorted(SOURCES))
def test_every_source_reads_as_the_path(telemetry, source, call):
    path = telemetry["locks"]
    data = pathlib.Path(path).read_bytes()
    src = SOURCES[source](path, data)
    same(CALLS[call](src), CALLS[call](path))
    if hasattr(src, "close"):
        src.close()


def pieces(data, seed):
    """data cut at random places, pieces of 0 to 30000 bytes."""
    rng = random.Random(seed)
    at = 0
    while at < len(data):
        n = rng.choice([0, 1, 7, 100, 10751, 10752, 10753, 30000])
        yield data[at:at + n]
        at += n


STREAMS = {
    "samples": (lambda: ifgtools.SampleStream(), ifgtools.interferogram_samples, ("samples", "notices")),
    "carriage": (lambda: ifgtools.SampleStream(carriage=True),
                 lambda s: ifgtools.interferogram_samples(s, carriage=True), ("samples", "notices")),
    "hk": (lambda: ifgtools.HousekeepingStream("x"), lambda s: ifgtools.housekeeping(s, "x"),
           ("lines", "positions")),
    "raw_mask": (lambda: ifgtools.HousekeepingStream("m", raw=True),
                 lambda s: ifgtools.housekeeping(s, "m", raw=True), ("lines", "positions")),
}


@pytest.mark.parametrize("seed", range(3))
@pytest.mark.parametrize("kind", sorted(STREAMS))
@pytest.mark.parametrize("name", ["locks", "carriage", "cut_only"])
def test_streams_fed_in_pieces_give_one_call(telemetry, name, kind, seed):
    make, whole_call, fields = STREAMS[kind]
    data = pathlib.Path(telemetry[name]).read_bytes()
    whole = whole_call(data)
    with make() as stream:
        chunks = [stream.feed(piece) for piece in pieces(data, seed)]
        end = stream.close()
    for field in fields:
        got = [getattr(c, field) for c in chunks]
        joined = np.concatenate(got) if got else getattr(whole, field)[:0]
        assert np.array_equal(joined, getattr(whole, field)), field
    assert (end, stream.last_record, stream.partial_bytes) == (whole.end, whole.last_record,
                                                               whole.partial_bytes)


def test_records_hold_the_stored_words_swapped(telemetry):
    data = pathlib.Path(telemetry["locks"]).read_bytes()
    r = ifgtools.read_records(data)
    whole = len(data) // ifgtools.RECORD_BYTES
    stored = np.frombuffer(data[:whole * ifgtools.RECORD_BYTES], dtype=">u2").reshape(whole, -1)
    assert np.array_equal(r.subframes.reshape(whole, -1), stored[:, :5184])
    assert r.trailers.tobytes() == stored[:, 5184:].tobytes()
    column0 = r.subframes[:, :, :, 0] == 0x146F
    assert np.array_equal(r.sync_rows, np.where(column0.any(axis=2), column0.argmax(axis=2), -1))
    assert r.partial_bytes == len(data) % ifgtools.RECORD_BYTES
    # (start, count): the records kept, and whether the data were read to the end.
    for start, count, kept, to_end in [(3, 5, slice(3, 8), False), (38, 10, slice(38, None), True),
                                       (0, 0, slice(0, 0), False), (40, None, slice(40, None), True)]:
        part = ifgtools.read_records(data, start=start, count=count)
        for field in ("subframes", "trailers", "sync_rows"):
            assert np.array_equal(getattr(part, field), getattr(r, field)[kept]), (start, field)
        assert part.partial_bytes == (r.partial_bytes if to_end else 0)


# The documented fields and types of every result array.
LABELS = [("record", "<i4"), ("subframe", "u1"), ("interferogram", "<u2"), ("status", "u1")]
NOTICE = [("record", "<i4"), ("subframe", "u1"), ("kind", "u1")]
LINE = [("sync_word", "<u2"), ("record", "<i4"), ("subframe", "u1")]
POSITION = [("record", "<i4"), ("subframe", "<i4"), ("position", "<i4")]
FIELD_TYPES = [
    (CALLS["samples"], "samples", LABELS + [("detector1", "<i4"), ("detector2", "<i4")]),
    (CALLS["samples"], "notices", NOTICE),
    (CALLS["carriage"], "samples", LABELS + [("carriage", "<i2")]),
    (CALLS["hk"], "lines", LINE + [("values", ("<i4", (8,)))]),
    (CALLS["raw_mask"], "lines", LINE + [("values", ("<i4", (8,)))]),
    (CALLS["raw_mask"], "positions", POSITION),
    (lambda src: ifgtools.housekeeping(src, 300), "lines", LINE + [("values", ("<i4", (1,)))]),
    (CALLS["records"], "subframes", "<u2"),
    (CALLS["records"], "trailers", "u1"),
    (CALLS["records"], "sync_rows", "<i2"),
]


@pytest.mark.parametrize("row", range(len(FIELD_TYPES)))
def test_result_fields_have_their_documented_types(telemetry, row):
    call, field, types = FIELD_TYPES[row]
    array = getattr(call(telemetry["locks"]), field)
    if isinstance(types, str):
        assert array.dtype == np.dtype(types)
    else:
        assert [(name, array.dtype.fields[name][0]) for name in array.dtype.names] == \
            [(name, np.dtype(t)) for name, t in types]


FAULTS = [
    (lambda t: ifgtools.interferogram_samples(t + "/missing"), FileNotFoundError, errno.ENOENT),
    (lambda t: ifgtools.housekeeping(t, "p"), IsADirectoryError, errno.EISDIR),
    (lambda t: ifgtools.read_records(t), IsADirectoryError, errno.EISDIR),
    (lambda t: ifgtools.housekeeping(b"", "q"), ValueError, None),
    (lambda t: ifgtools.housekeeping(b"", True), TypeError, None),
    (lambda t: ifgtools.read_records(b"", start=-1), ValueError, None),
    (lambda t: ifgtools.interferogram_samples(12), TypeError, None),
]


class Misreading(io.RawIOBase):
    """A file object whose readinto gives back what it is told to."""

    def __init__(self, answer):
        self.answer = answer

    def readable(self):
        return True

    def readinto(self, buffer):
        if isinstance(self.answer, Exception):
            raise self.answer
        return self.answer(len(buffer)) if callable(self.answer) else self.answer


# A file object's readinto misbehaving: what it answers, and what every
# function raises for it (its own exception, when it raises one).
OWN = ValueError("the file's own fault")
FILE_FAULTS = [
    (OWN, None),
    (None, BlockingIOError),
    (lambda n: n + 1, ValueError),
    (-1, ValueError),
    (2.5, TypeError),
]


@pytest.mark.parametrize("call", [CALLS["samples"], CALLS["hk"], CALLS["records"], ifgtools.read_detection])
@pytest.mark.parametrize("fault", range(len(FILE_FAULTS)))
def test_a_misreading_file_object_raises(fault, call):
    answer, error = FILE_FAULTS[fault]
    with pytest.raises(error or type(answer)) as raised:
        call(Misreading(answer))
    if error is None:
        assert raised.value is answer
    elif error is BlockingIOError:
        assert raised.value.errno == errno.EAGAIN
    elif error is ValueError:
        assert "<Misreading>: readinto returned" in str(raised.value)


@pytest.mark.parametrize("fault", range(len(FAULTS)))
def test_faults_raise(tmp_path, fault):
    call, error, number = FAULTS[fault]
    with pytest.raises(error) as raised:
        call(str(tmp_path))
    if number is not None:
        assert raised.value.errno == number and raised.value.filename.startswith(str(tmp_path))


def test_an_unreadable_file_raises_permission_error(tmp_path):
    path = tmp_path / "locked"
    path.write_bytes(b"")
    path.chmod(0)
    tmp_path.chmod(0o755)
    check = ("import ifgtools, sys\n"
             "try: ifgtools.read_records(sys.argv[1])\n"
             "except PermissionError as e: print(e.errno, e.filename)\n")
    command = [sys.executable, "-c", check, str(path)]
    if os.geteuid() == 0:  # permission bits do not stop root
        command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] + command
    r = subprocess.run(command, capture_output=True, text=True, check=False)
    if "ModuleNotFoundError" in r.stderr or "Permission denied" in r.stderr:
        pytest.skip("nobody may not load the module from this build folder")
    assert r.stdout == f"{errno.EACCES} {path}\n"


def test_the_stub_names_what_the_extension_holds():
    stub = ast.parse(pathlib.Path(ifgtools.__file__).with_name("_ifgtools.pyi").read_text())

    def names(body):
        found = {}
        for node in body:
            if isinstance(node, ast.ClassDef):
                found[node.name] = names(node.body)
            elif isinstance(node, ast.FunctionDef) and node.name != "__init__":
                found[node.name] = None
            elif isinstance(node, ast.AnnAssign):
                found[node.target.id] = None
        return found

    def public(obj):
        return {n for n in dir(obj) if not n.startswith("_")}

    module = ifgtools._ifgtools
    declared = names(stub.body)
    assert set(declared) == public(module)
    for name, members in declared.items():
        if members is not None:
            assert set(members) == public(getattr(module, name)), name


def test_a_closed_stream_takes_no_more():
    stream = ifgtools.SampleStream()
    assert stream.close() == ifgtools.END_OF_DATA
    with pytest.raises(ValueError):
        stream.feed(b"x")
