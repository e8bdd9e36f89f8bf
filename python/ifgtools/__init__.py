"""The interferometer's raw telemetry and detection files as NumPy arrays.

The functions run the same decoding as the command-line tools and hand over
what the tools would print, as arrays with named fields instead of text:

  read_records(source, start=0, count=None)     whole records, words and sync rows
  interferogram_samples(source, carriage=False)  what ifgextract prints
  housekeeping(source, group, raw=False)         what hkdump (raw: hkrawdump) prints
  read_detection(source, max_entries=None)       the entries of a detection file
  read_dictionary(path), check_limits(source, dictionary)
                                                 channel dictionaries, as hkmonitor
  open_product(path, group), open_campaign(paths, group)
                                                 archive products as xarray Datasets

A source is a path (str or os.PathLike), a bytes-like object (bytes,
bytearray, memoryview, a NumPy uint8 array) or a binary file object (anything
with readinto: an open file, a pipe, a socket's makefile("rb")).  It is read
as the tools read a file.  A file that cannot be opened or read raises
OSError with the system's text, and a non-blocking file object that has no
data yet BlockingIOError; a cut last record is not an error (see
partial_bytes and end).

For live telemetry, SampleStream and HousekeepingStream take the data in
pieces of any size as it arrives and return what each piece completes.

The result classes (Records, Samples, Housekeeping, DetectionEntry) describe
their fields.
"""

from __future__ import annotations

import errno
import operator
import os
from typing import Any, Callable, Literal, Protocol, TypeVar, Union

import numpy as np
from numpy.typing import NDArray

from . import _ifgtools
from . import dictionary as _dictionary
from ._results import END_OF_DATA, READ_ERROR, TRUNCATED, _end_of, _Result
from .dictionary import Dictionary, LimitCheck, check_limits, read_dictionary
from .archive import open_campaign, open_product  # these need xarray, netCDF4 and dask

__all__ = [
    "read_records", "interferogram_samples", "housekeeping", "read_detection",
    "SampleStream", "HousekeepingStream",
    "open_product", "open_campaign",
    "Records", "Samples", "SampleChunk", "Housekeeping", "HousekeepingChunk", "DetectionEntry",
    "LOST_LOCK", "STATUS_CHANGED", "END_OF_DATA", "TRUNCATED", "READ_ERROR", "RECORD_BYTES",
    "Source", "BinaryFile",
    "read_dictionary", "check_limits", "Dictionary", "LimitCheck",
]

LOST_LOCK: int = _ifgtools.LOST_LOCK
"""Notice kind: the sync row moved ("#lost lock")."""
STATUS_CHANGED: int = _ifgtools.STATUS_CHANGED
"""Notice kind: the status bit changed ("#status changed")."""

RECORD_BYTES: int = _ifgtools.RECORD_BYTES
"""Bytes of one raw telemetry record."""

_CHUNK_BYTES = 1 << 20  # read from file objects in pieces of this size


# ---- Sources -----------------------------------------------------------------


class BinaryFile(Protocol):
    """A binary file object, read through readinto: it puts up to len(buffer)
    bytes into buffer and returns how many (0 at the end), or None when a
    non-blocking file has no data now."""

    def readinto(self, buffer: Any, /) -> int | None: ...


Source = Union[str, "os.PathLike[str]", bytes, bytearray, memoryview, "NDArray[np.uint8]", BinaryFile]
"""What every function reads: a path, a bytes-like object or a binary file."""

_PATH, _FILE, _BYTES = "path", "file", "bytes"

_Collector = Union[_ifgtools.SampleCollector, _ifgtools.HousekeepingCollector, _ifgtools.RecordCollector]


def _source(source: Source) -> tuple[str, Any, str]:
    """Where the data of a source come from, decided here for every function:
    (kind, data, name).  A path gives "path" and the path as str; a file
    object "file" and a read_into(buffer) function over its readinto; anything
    else "bytes" and the object itself, to be read as a bytes-like object.
    name names the source in messages."""
    if isinstance(source, (str, os.PathLike)):
        path = os.fsdecode(source)
        return _PATH, path, path
    if hasattr(source, "readinto"):
        name = getattr(source, "name", None)
        if not isinstance(name, str):
            name = f"<{type(source).__name__}>"
        return _FILE, _read_into(source, name), name
    return _BYTES, source, "<bytes>"


def _read_into(file: BinaryFile, name: str) -> Callable[[Any], int]:
    """read_into(buffer): the count of bytes that file.readinto put into
    buffer, 0 at the end.  No data from a non-blocking file raises
    BlockingIOError; a count that is not one of the buffer's (negative, or
    more than it holds) raises ValueError naming the file."""

    def read_into(buffer: Any) -> int:
        n = file.readinto(buffer)
        if n is None:
            raise BlockingIOError(errno.EAGAIN, f"ifgtools: {name} has no data now (non-blocking)")
        n = operator.index(n)
        if not 0 <= n <= len(buffer):
            raise ValueError(f"ifgtools: {name}: readinto returned {n} for a buffer of {len(buffer)} bytes")
        return n

    return read_into


def _feed(collector: _Collector, source: Source, wanted: Callable[[], bool] = lambda: True) -> None:
    """Hands every byte of source to a collector, or those it wants."""
    kind, data, _ = _source(source)
    if kind == _PATH:
        collector.push_path(data)
    elif kind == _FILE:
        piece = bytearray(_CHUNK_BYTES)
        view = memoryview(piece)
        while wanted() and (n := data(piece)) > 0:
            collector.push(view[:n])
    else:
        collector.push(data)


# ---- Records ---------------------------------------------------------------


class Records(_Result):
    """Whole raw telemetry records.

    subframes      uint16 array (n, 3, 108, 16): the words of the three
                   subframes in host order, as after byte swapping;
                   subframes[r, s, row, column].
    trailers       uint8 array (n, 384): each record's trailer, as stored.
    sync_rows      int16 array (n, 3): the sync row of every subframe (the
                   first row whose column 0 holds 0x146F), -1 where none.
    partial_bytes  bytes of a cut last record when the data ended inside
                   one, else 0 (and 0 when reading stopped after count).
    """

    __slots__ = ("subframes", "trailers", "sync_rows", "partial_bytes")
    subframes: NDArray[np.uint16]
    trailers: NDArray[np.uint8]
    sync_rows: NDArray[np.int16]
    partial_bytes: int


def read_records(source: Source, start: int = 0, count: int | None = None) -> Records:
    """Whole records of a raw telemetry file, as a Records object.

    start and count select whole records: the first start records are
    passed over and at most count are kept (all when count is None); reading
    stops once they are read.
    """
    if start < 0 or (count is not None and count < 0):
        raise ValueError("ifgtools: start and count must not be negative")
    collector = _ifgtools.RecordCollector(start, -1 if count is None else count)
    _feed(collector, source, lambda: collector.wants_more)
    subframes, trailers, sync_rows = collector.take()
    return Records(subframes, trailers, sync_rows, collector.partial_bytes)


# ---- Interferogram samples ---------------------------------------------------


class Samples(_Result):
    """What ifgextract writes, as arrays.

    samples        structured array, one element per sample line that
                   ifgextract writes, in the same order:
                     record         int32, the record the sample came from
                                    (2 for the first decoded record)
                     subframe       uint8, 0, 1 or 2
                     interferogram  uint16, the interferogram number
                                    (housekeeping channel 52)
                     status         uint8, the status bit: 0 or 32 (0x20,
                                    printed as "20")
                     detector1      int32, first detector, gain-normalised
                     detector2      int32, second detector
                   With carriage=True one field carriage (int16, 0..4095)
                   instead of the two detectors.
    notices        structured array, one element per notice line, in the
                   order written; each stands before the samples of its pass:
                     record         int32
                     subframe       uint8
                     kind           uint8, LOST_LOCK (1: the sync row moved)
                                    or STATUS_CHANGED (2)
    last_record    the number on the last record-number line (the count of
                   whole records read; 0 when there was none).
    end            END_OF_DATA or TRUNCATED, as the tool's closing message
                   says ("No bytes read" or "Byte mismatch reading").
    partial_bytes  bytes of a cut last record, else 0.
    """

    __slots__ = ("samples", "notices", "last_record", "end", "partial_bytes")
    samples: NDArray[np.void]
    notices: NDArray[np.void]
    last_record: int
    end: str
    partial_bytes: int


def interferogram_samples(source: Source, carriage: bool = False) -> Samples:
    """The interferogram samples of a raw telemetry file as ifgextract prints
    them (carriage=True: as ifgextract -c prints them), as a Samples object.

    The first record sets the reference sync row and status bit and gives
    no samples; every later record gives the samples of its three
    subframes, with notices where the sync row of subframe 2 moves or the
    status bit of a subframe changes.  A value is released one flagged
    sample late, rescaled to the gain of the sample that releases it.
    """
    collector = _ifgtools.SampleCollector(bool(carriage))
    _feed(collector, source)
    samples, notices = collector.take()
    partial = collector.partial_bytes
    return Samples(samples, notices, collector.records, _end_of(partial), partial)


class SampleChunk(_Result):
    """What one piece of a SampleStream completes: samples and notices, with
    the fields of Samples."""

    __slots__ = ("samples", "notices")
    samples: NDArray[np.void]
    notices: NDArray[np.void]


_StreamT = TypeVar("_StreamT", bound="_Stream")


class _Stream:
    """Shared part of the streams: closing, and use in a with statement."""

    def __init__(self, collector: _ifgtools.SampleCollector | _ifgtools.HousekeepingCollector) -> None:
        self._collector = collector
        self.end: str | None = None

    def _push(self, chunk: Any) -> None:
        if self.end is not None:
            raise ValueError("ifgtools: the stream is closed")
        self._collector.push(chunk)

    @property
    def last_record(self) -> int:
        """The number of the last whole record taken."""
        return self._collector.records

    @property
    def partial_bytes(self) -> int:
        """Bytes of an unfinished record held until the next piece."""
        return self._collector.partial_bytes

    def close(self) -> str:
        """Ends the data; returns END_OF_DATA, or TRUNCATED when bytes of an
        unfinished record were left."""
        if self.end is None:
            self.end = _end_of(self._collector.partial_bytes)
        return self.end

    def __enter__(self: _StreamT) -> _StreamT:
        return self

    def __exit__(self, *exc: object) -> Literal[False]:
        self.close()
        return False


class SampleStream(_Stream):
    """interferogram_samples over data that arrives in pieces.

    feed(chunk) takes the next piece (any bytes-like object of any size) and
    returns a SampleChunk with the samples and notices of the records that
    the piece completes.  The run's state (reference record, held pair, sync
    row, status bit, a record waiting for its rest) is carried from piece to
    piece, so feeding a file in pieces gives exactly what one call of
    interferogram_samples on the whole gives.  close() returns how the data
    ended.
    """

    def __init__(self, carriage: bool = False) -> None:
        super().__init__(_ifgtools.SampleCollector(bool(carriage)))

    def feed(self, chunk: Any) -> SampleChunk:
        """Takes the next piece; returns the SampleChunk it completes."""
        self._push(chunk)
        return SampleChunk(*self._collector.take())


# ---- Housekeeping ------------------------------------------------------------

_GROUP_LETTERS = ("f", "s", "p", "m", "v", "x")


def _group_option(group: str | int) -> tuple[str, int]:
    """The tools' group option letter and format offset for a group letter or
    channel number."""
    if isinstance(group, bool) or not isinstance(group, (str, int)):
        raise TypeError("ifgtools: group is one of 'f', 's', 'p', 'm', 'v', 'x' or an int channel number")
    if isinstance(group, int):
        # Held at the int limits, as the tools hold -g numbers.
        return "g", max(-(2**31), min(2**31 - 1, group))
    if group not in _GROUP_LETTERS:
        raise ValueError(f"ifgtools: no channel group {group!r}: one of 'f', 's', 'p', 'm', 'v', 'x' or an int")
    return group, 0


def _housekeeping_collector(group: str | int, raw: bool) -> _ifgtools.HousekeepingCollector:
    letter, offset = _group_option(group)
    return _ifgtools.HousekeepingCollector(letter, offset, bool(raw))


class Housekeeping(_Result):
    """What hkdump (raw: hkrawdump) writes, as arrays.

    lines          structured array, one element per data line of the tool:
                     sync_word  uint16, column 0 of the sync row (0x146F
                                where a sync row was found)
                     record     int32, the record number (from 1)
                     subframe   uint8, 0, 1 or 2
                     values     int32 array, the numbers that follow on
                                the line, in order; hexadecimal words as
                                their values.  hkdump: the time prefix
                                (interferogram number, hours, minutes,
                                seconds), then the group's values; the
                                generic channel alone without prefix.
    positions      structured array of the "ait affset" lines (hkrawdump
                   with "m" only; else empty): record, subframe (of the data
                   line that the report stands before) and position (int32,
                   the word position of channel 19 within a subframe).
    last_record    the number of the last whole record.
    end            END_OF_DATA or TRUNCATED, as the tool's closing message
                   says ("No data" or "Mismatch data").
    partial_bytes  bytes of a cut last record, else 0.

    Indexing the object indexes lines: hk["values"], hk[:10].
    """

    __slots__ = ("lines", "positions", "last_record", "end", "partial_bytes")
    lines: NDArray[np.void]
    positions: NDArray[np.void]
    last_record: int
    end: str
    partial_bytes: int

    def __getitem__(self, key: Any) -> Any:
        return self.lines[key]

    def __len__(self) -> int:
        return len(self.lines)


def housekeeping(source: Source, group: str | int, raw: bool = False,
                 dictionary: Dictionary | str | os.PathLike[str] | None = None) -> Housekeeping:
    """One group of housekeeping channels per subframe as hkdump prints it
    (raw=True: as hkrawdump prints it), as a Housekeeping object.

    group is "f" (fast sap), "s" (slow sap), "p" (pressure), "m" (mask
    temperature), "v" (voltage monitors), "x" (auxiliary detector data), or
    an int: the format offset of one generic channel (as -g; it may be
    negative or beyond 107, and is held at the 32-bit limits).  With a
    dictionary (read_dictionary, or a path) the lines have a float64 field
    more for each of the group's values it names, calibrated.
    """
    collector = _housekeeping_collector(group, raw)
    _feed(collector, source)
    lines, positions = collector.take()
    if dictionary is not None:
        lines = _dictionary.named_lines(lines, group, raw, dictionary)
    partial = collector.partial_bytes
    return Housekeeping(lines, positions, collector.records, _end_of(partial), partial)


class HousekeepingChunk(_Result):
    """What one piece of a HousekeepingStream completes: lines and positions,
    with the fields of Housekeeping."""

    __slots__ = ("lines", "positions")
    lines: NDArray[np.void]
    positions: NDArray[np.void]


class HousekeepingStream(_Stream):
    """housekeeping() over data that arrives in pieces.

    feed(chunk) takes the next piece and returns a HousekeepingChunk with the
    lines (and position reports) of the records that the piece completes.
    The sync row and channel positions, and a record waiting for its rest,
    are carried from piece to piece, so feeding a file in pieces gives
    exactly what one call of housekeeping() on the whole gives.  close()
    returns how the data ended.
    """

    def __init__(self, group: str | int, raw: bool = False) -> None:
        super().__init__(_housekeeping_collector(group, raw))

    def feed(self, chunk: Any) -> HousekeepingChunk:
        """Takes the next piece; returns the HousekeepingChunk it completes."""
        self._push(chunk)
        return HousekeepingChunk(*self._collector.take())


# ---- Detection files -----------------------------------------------------------


class DetectionEntry(_Result):
    """One entry of a detection file.

    number           the entry's interferogram number: the third integer of
                     its spectrum header (group 8), the number retrieve
                     matches.
    first            the three integers of its interferogram header (group
                     1), as read (a null value keeps the previous entry's
                     value).
    samples          float32 array: the interferogram samples (group 3).
    spectrum         float32 array: the spectrum values (group 10).
    spectrum_header  the three integers of the spectrum header (group 8) as
                     read; a null value keeps the interferogram header's.
    sample_axis      the two reals of the interferogram's count line (group
                     2; the detection files' makers put the sample step and
                     start there).
    sample_code      the integer that ends that count line.
    interferogram_trailer
                     the four single reals after the samples (groups 4-7).
    spectral_axis    the two reals of the spectrum's count line (group 9):
                     what gives the spectrum its axis.
    spectrum_code    the integer that ends that count line.
    spectrum_trailer the six single reals after the spectrum (groups 11-16).

    Reals are the float32 values read, as Python floats.  det2nc's products
    hold the same values under the same names.
    """

    __slots__ = ("number", "first", "samples", "spectrum", "spectrum_header", "sample_axis",
                 "sample_code", "interferogram_trailer", "spectral_axis", "spectrum_code",
                 "spectrum_trailer")
    number: int
    first: tuple[int, int, int]
    samples: NDArray[np.float32]
    spectrum: NDArray[np.float32]
    spectrum_header: tuple[int, int, int]
    sample_axis: tuple[float, float]
    sample_code: int
    interferogram_trailer: tuple[float, float, float, float]
    spectral_axis: tuple[float, float]
    spectrum_code: int
    spectrum_trailer: tuple[float, float, float, float, float, float]


_DETECTION_READERS: dict[str, Callable[[Any, str, int], list[Any]]] = {
    _PATH: _ifgtools.read_detection_path,
    _FILE: _ifgtools.read_detection_file,
    _BYTES: _ifgtools.read_detection_bytes,
}


def read_detection(source: Source, max_entries: int | None = None) -> list[DetectionEntry]:
    """The entries of a detection file as retrieve reads them, as a list of
    DetectionEntry objects.

    Each entry is 16 read groups of free-form numbers, read by retrieve's
    own reader with its rules (blanks, tabs, one comma or line ends between
    values; r*v repeats; a lone comma or a slash keeps a value as it was)
    and its limits of 500 samples and 25000 spectrum values.  Reading stops
    at the end of the file (inside an entry's first group) or after
    max_entries entries (all when None).

    A fault in the file raises ValueError with the line retrieve would
    write (file, line, what was expected there); a file that cannot be
    opened or read raises OSError.
    """
    if max_entries is not None and max_entries < 0:
        raise ValueError("ifgtools: max_entries must not be negative")
    limit = -1 if max_entries is None else max_entries
    kind, data, name = _source(source)
    rows = _DETECTION_READERS[kind](data, name, limit)
    return [DetectionEntry(*row) for row in rows]
