"""The module's arrays against the tools' text: every file of the table,
both modes, both tables, every group, the generic channel at awkward
offsets; the text written again from the arrays must be the tools' own,
byte for byte."""

import pytest

import ifgtools
from conftest import TELEMETRY, housekeeping_text, ifgextract_text, run_tool

FILES = sorted(TELEMETRY)
GROUPS = ["f", "s", "p", "m", "v", "x", 0, 52, -5, 107, 200, -300, 10**20, -10**20]


@pytest.mark.parametrize("carriage", [False, True])
@pytest.mark.parametrize("name", FILES)
def test_samples_give_ifgextract_text(telemetry, name, carriage):
    result = ifgtools.interferogram_samples(telemetry[name], carriage=carriage)
    out, err, _ = run_tool("ifgextract", *(["-c"] if carriage else []), "-F", telemetry[name])
    assert ifgextract_text(result, carriage) == (out, err)


@pytest.mark.parametrize("raw", [False, True])
@pytest.mark.parametrize("group", GROUPS)
@pytest.mark.parametrize("name", ["locks", "nosync_first", "whole", "cut_only"])
def test_housekeeping_gives_dump_text(telemetry, name, group, raw):
    result = ifgtools.housekeeping(telemetry[name], group, raw=raw)
    option = ["-" + group] if isinstance(group, str) else ["-g", str(group)]
    out, err, _ = run_tool("hkrawdump" if raw else "hkdump", *option, "-F", telemetry[name])
    if not isinstance(group, str):
        err = err.split(b"\n", 1)[1]  # the tool echoes the offset first
    assert housekeeping_text(result, group, raw) == (out, err)
    if not raw or group != "m":
        assert len(result.positions) == 0


def test_large_results_one_after_another_hold_their_own_rows(telemetry):
    # Each result's memory, once freed, is kept for the next large one.
    path = telemetry["long_noise"]
    for carriage in (False, True, False):
        result = ifgtools.interferogram_samples(path, carriage=carriage)
        assert result.samples.nbytes >= 1 << 20
        out, err, _ = run_tool("ifgextract", *(["-c"] if carriage else []), "-F", path)
        assert ifgextract_text(result, carriage) == (out, err)
        del result


def test_generic_channel_in_hexadecimal_is_the_same_value(telemetry):
    result = ifgtools.housekeeping(telemetry["whole"], 107, raw=True)
    out, _, _ = run_tool("hkrawdump", "-X", "-g", "107", "-F", telemetry["whole"])
    assert housekeeping_text(result, 107, True, hex_flag=True)[0] == out
