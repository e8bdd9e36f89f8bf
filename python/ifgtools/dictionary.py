"""Channel dictionaries and limit checking.

A channel dictionary (a TOML file of [[channel]] tables, see
dictionary/default.toml) names the housekeeping values that hkdump and
hkrawdump decode, gives their units and calibrations, and the limits that
hkmonitor watches.  Everything here runs hkmonitor's own C++ code: a
dictionary is read and checked by its checker (a fault raises ValueError
with the very message hkmonitor prints, "file:line: key: what"), values are
calibrated by its calibration, and check_limits gives the state changes and
the summary that hkmonitor writes, as arrays.

  read_dictionary(path)              the dictionary, checked
  check_limits(source, dictionary)   hkmonitor's state changes and summary
  housekeeping(source, group, dictionary=...)
                                     the group's values named and calibrated
"""

import os

import numpy as np

from . import _ifgtools
from ._results import _end_of, _Result

STATES = ("GREEN", "YELLOW", "RED")
"""The states of a limited channel, by severity."""
LIMITS = ("red_low", "yellow_low", "yellow_high", "red_high")
"""The limits a channel may have, in the order the arrays number them."""

# Group letters of hkdump's options and the groups a dictionary names.
_GROUPS = {"f": "fast_sap", "s": "slow_sap", "p": "pressure", "m": "mask_temperature",
           "v": "voltage_monitors", "x": "auxiliary_detector"}


class Channel(_Result):
    """One entry of a dictionary.

    name, description, units   as the file gives them
    column       12 (engineering words, hkdump) or 4 (raw words, hkrawdump)
    group        "time", "fast_sap", ..., "generic"
    number       the channel number (format offset)
    form         "raw", "top 12", "top 10", "flag", "difference", "BCD high"
                 or "BCD low"
    position     the value's place among the numbers of the group's line
                 (housekeeping(...)["values"][:, position])
    calibration  None, ("polynomial", [c0, c1, ...]) or ("table", [(x, y), ...])
    limits       {"red_low": ..., ...}: the limits given
    persistence  successive values out before the state changes (None
                 without limits)
    line         the line of the entry's [[channel]] in the file
    """

    __slots__ = ("name", "description", "units", "column", "group", "number", "form", "position",
                 "calibration", "limits", "persistence", "line")


class Dictionary:
    """A channel dictionary, read and checked: its channels in the order of
    the file, found by index or name (d["bus_voltage"]); calibrate() turns
    counts into physical values."""

    def __init__(self, handle):
        self._handle = handle
        self.path = handle.path
        self.channels = tuple(Channel(*handle.describe(i).values()) for i in range(handle.count))
        self._index = {c.name: i for i, c in enumerate(self.channels)}

    def __len__(self):
        return len(self.channels)

    def __iter__(self):
        return iter(self.channels)

    def __getitem__(self, key):
        return self.channels[self._index[key] if isinstance(key, str) else key]

    def __repr__(self):
        return f"Dictionary({self.path!r}, {len(self)} channels)"

    @property
    def limited(self):
        """The channels with limits: those hkmonitor checks."""
        return tuple(c for c in self.channels if c.limits)

    def calibrate(self, name, counts):
        """The calibrated values (float64) of an array of counts of a channel."""
        return self._handle.calibrate(self._index[name], np.asarray(counts))


def read_dictionary(path):
    """Reads and checks the dictionary file at path.

    A fault in the file raises ValueError with the message hkmonitor gives,
    naming the file, line and key ("station.toml:12: bus.red_high: ...");
    a file that cannot be read raises OSError.
    """
    return Dictionary(_ifgtools.Dictionary(os.fsdecode(path)))


def _as_dictionary(dictionary):
    return dictionary if isinstance(dictionary, Dictionary) else read_dictionary(dictionary)


def named_lines(lines, group, raw, dictionary):
    """The lines of housekeeping() with one float64 field more for each
    value of the group that the dictionary names: the calibrated value,
    under the channel's name (the time prefix too, for hkdump's groups)."""
    d = _as_dictionary(dictionary)
    column = 4 if raw else 12
    if isinstance(group, str):
        groups, number = {_GROUPS[group]} | (set() if raw else {"time"}), None
    else:
        groups, number = {"generic"}, group
    chosen = [c for c in d.channels
              if c.column == column and c.group in groups and number in (None, c.number)]
    clash = {c.name for c in chosen} & set(lines.dtype.names)
    if clash:
        raise ValueError(f"ifgtools: dictionary names {sorted(clash)} are fields of the lines already")
    names = list(lines.dtype.names) + [c.name for c in chosen]
    formats = [lines.dtype.fields[n][0] for n in lines.dtype.names] + ["<f8"] * len(chosen)
    out = np.empty(len(lines), dtype=np.dtype({"names": names, "formats": formats}))
    for n in lines.dtype.names:
        out[n] = lines[n]
    for c in chosen:
        out[c.name] = d.calibrate(c.name, lines["values"][:, c.position])
    return out


TRANSITION_DTYPE = np.dtype([
    ("record", "<i4"), ("subframe", "u1"), ("hours", "u1"), ("minutes", "u1"), ("seconds", "u1"),
    ("name", "U63"), ("value", "<f8"), ("units", "U31"), ("decoded", "<i4"), ("state", "U6"),
    ("limit", "U11"), ("limit_value", "<f8"), ("above", "?")])

SUMMARY_DTYPE = np.dtype([
    ("name", "U63"), ("units", "U31"), ("values", "<i8"), ("green", "<i8"), ("yellow", "<i8"),
    ("red", "<i8"), ("worst", "<f8"), ("worst_decoded", "<i4"), ("worst_state", "U6")])


class LimitCheck(_Result):
    """What hkmonitor finds over a telemetry stream, as arrays.

    transitions    one element per line hkmonitor writes for a state change,
                   in the same order (TRANSITION_DTYPE):
                     record, subframe    where the change happened
                     hours, minutes, seconds
                                         the time of day on that subframe's line
                     name, units         the channel
                     value, decoded      the calibrated value, and its count
                     state               the new state: "GREEN", "YELLOW", "RED"
                     limit, limit_value  the limit crossed ("yellow_high", ...)
                     above               the value now lies above that limit
    summary        one element per limited channel, as hkmonitor's summary
                   (SUMMARY_DTYPE): name, units, values checked, values in
                   green, yellow and red, the worst value (NaN when none),
                   its count and its zone's state ("" when none).
    last_record    the number of the last whole record.
    end            END_OF_DATA or TRUNCATED.
    partial_bytes  bytes of a cut last record, else 0.
    status         hkmonitor's exit status: 0 every channel stayed green, 1
                   a yellow state was seen, 2 a red one, 3 the input was cut.
    """

    __slots__ = ("transitions", "summary", "last_record", "end", "partial_bytes", "status")


def check_limits(source, dictionary):
    """Checks the limited channels of the dictionary (a Dictionary or a
    path) over a raw telemetry source (a path, bytes-like object or binary
    file object, as for the other functions) as hkmonitor does; returns a
    LimitCheck."""
    from . import _feed  # the package's reading of sources, once it is loaded

    d = _as_dictionary(dictionary)
    if not d.limited:
        raise ValueError(f"ifgtools: {d.path}: no channel has limits: nothing to check")
    collector = _ifgtools.LimitCollector(d._handle)
    _feed(collector, source)
    rows = collector.take()
    channels = [d.channels[i] for i in rows["entry"]]
    transitions = np.empty(len(rows), TRANSITION_DTYPE)
    for field in ("record", "subframe", "hours", "minutes", "seconds", "value", "decoded"):
        transitions[field] = rows[field]
    transitions["name"] = [c.name for c in channels]
    transitions["units"] = [c.units for c in channels]
    transitions["state"] = [STATES[abs(z)] for z in rows["zone"]]
    transitions["limit"] = [LIMITS[k] for k in rows["limit"]]
    transitions["limit_value"] = [c.limits[LIMITS[k]] for c, k in zip(channels, rows["limit"])]
    transitions["above"] = rows["above"].astype(bool)
    entries = collector.summary()
    summary = np.empty(len(entries), SUMMARY_DTYPE)
    for i, (entry, green, yellow, red, decoded, worst, zone) in enumerate(entries):
        c = d.channels[entry]
        summary[i] = (c.name, c.units, collector.values, green, yellow, red,
                      np.nan if worst is None else worst, 0 if decoded is None else decoded,
                      "" if zone is None else STATES[abs(zone)])
    partial = collector.partial_bytes
    status = 3 if partial > 0 else collector.worst_severity
    return LimitCheck(transitions, summary, collector.records,
                      _end_of(partial), partial, status)
