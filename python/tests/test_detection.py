"""read_detection against retrieve: for every entry of the sample file and
of generated files in every form, the arrays equal the two files that
retrieve writes for that entry's number; faults raise retrieve's own line."""

import os
import pathlib
import shutil
import subprocess

import numpy as np
import pytest

import ifgtools
from conftest import TOOLS, run_tool

FORMS = ["plain", "commas", "crlf", "fortran", "fortran-d"]


def retrieved(folder, number):
    """The values retrieve writes for a number, as float32 arrays."""
    out, err, status = run_tool_in(folder, f"{number}\n")
    assert status == 0, err

    def values(name):
        text = (pathlib.Path(folder) / name).read_text()
        return np.array([float(v) for v in text.split()], dtype=np.float32)
    return values("interferogram.dat"), values("spectrum.dat")


def run_tool_in(folder, answer):
    r = subprocess.run([TOOLS["retrieve"]], input=answer.encode(), cwd=folder,
                       capture_output=True, check=False)
    return r.stdout, r.stderr.decode(), r.returncode


@pytest.fixture(scope="module", params=["sample"] + FORMS)
def detection_folder(request, tmp_path_factory):
    folder = tmp_path_factory.mktemp(request.param)
    if request.param == "sample":
        shutil.copy(os.environ["SAMPLE_DETECTION_FILE"], folder / "all.det")
    else:
        subprocess.run([TOOLS["detsynth"], "-n", "4", "-s", "500", "-c", "3000", "-f", "7", "-p", "5",
                        "-F", request.param, "-o", str(folder / "all.det")], check=True)
    return folder


def test_every_entry_equals_what_retrieve_writes(detection_folder):
    path = detection_folder / "all.det"
    entries = ifgtools.read_detection(path)
    assert len(entries) >= 4
    for entry in entries:
        samples, spectrum = retrieved(detection_folder, entry.number)
        assert entry.samples.dtype == np.float32 and np.array_equal(entry.samples, samples)
        assert np.array_equal(entry.spectrum, spectrum)
        assert len(entry.first) == 3
    data = path.read_bytes()
    for source in (lambda: data, lambda: bytearray(data), lambda: open(path, "rb")):
        for limit in (0, 2):
            again = ifgtools.read_detection(source(), max_entries=limit)
            assert [e.number for e in again] == [e.number for e in entries[:limit]]
            assert all(np.array_equal(a.spectrum, b.spectrum) for a, b in zip(again, entries))


# Hand-made files: (text, entries wanted, or the fault's words).
def entry(number, samples="1 2", spectrum="3.5,4", first="1 2 9", spectrum_header="1 2"):
    n_s, n_c = len(samples.replace(",", " ").split()), len(spectrum.replace(",", " ").split())
    return (f"{first}\n{n_s} 0.5 0.25 3\n{samples}\n1\n2\n3\n4\n"
            f"{spectrum_header} {number}\n{n_c} 0.75 -0.125 4\n{spectrum}\n5\n6\n7\n8\n9\n10\n")


def test_every_header_and_trailer_value_is_handed_over(tmp_path):
    # Every value distinct, so that a field read from the wrong place shows;
    # the second entry's null in its spectrum header keeps the first header's.
    (tmp_path / "all.det").write_text(entry(5) + entry(7, first="11 12 13", spectrum_header="21,,"))
    got = ifgtools.read_detection(tmp_path / "all.det")[1]
    want = {"number": 7, "first": (11, 12, 13), "spectrum_header": (21, 12, 7),
            "sample_axis": (0.5, 0.25), "sample_code": 3, "interferogram_trailer": (1.0, 2.0, 3.0, 4.0),
            "spectral_axis": (0.75, -0.125), "spectrum_code": 4,
            "spectrum_trailer": (5.0, 6.0, 7.0, 8.0, 9.0, 10.0)}
    assert {name: getattr(got, name) for name in want} == want


CASES = [
    ("empty", "", []),
    ("two", entry(5) + entry(7, first="0 0 5"), [(5, (1, 2, 9)), (7, (0, 0, 5))]),
    ("blank tail", entry(5) + "\n  \n", [(5, (1, 2, 9))]),
    ("bad real", entry(5) + entry(6, spectrum="1.5x 2"), "all.det:26: bad real \"1.5x\" in the spectrum values of entry 2"),
    ("cut", entry(5)[:-4], "all.det:15: end of file where a real was expected in the spectrum tail of entry 1"),
    ("too many", "1 2 3\n501 0 0 1\n", "all.det:2: sample count 501 of entry 1 is more than the 500 values that can be held"),
]


@pytest.mark.parametrize("name,text,want", CASES, ids=[c[0] for c in CASES])
def test_hand_made_files_read_as_retrieve_reads_them(tmp_path, monkeypatch, name, text, want):
    (tmp_path / "all.det").write_text(text)
    monkeypatch.chdir(tmp_path)
    if isinstance(want, str):
        with pytest.raises(ValueError) as raised:
            ifgtools.read_detection("all.det")
        assert str(raised.value) == want
        _, err, status = run_tool_in(tmp_path, "5\n" if name != "bad real" else "6\n")
        assert (status, err) == (2, f"retrieve: {want}\n")
    else:
        got = ifgtools.read_detection("all.det")
        assert [(e.number, e.first) for e in got] == want


def test_a_missing_file_raises_oserror(tmp_path):
    with pytest.raises(FileNotFoundError):
        ifgtools.read_detection(tmp_path / "none.det")
