"""How the package behaves around the tables: Python's own errors and
warnings, file objects, arrays that are not copies, the GIL released while
a file is decoded, and Ctrl-C."""

import _thread
import errno
import io
import os
import pathlib
import subprocess
import sys
import threading
import time
import warnings

import numpy as np
import pytest

import zolt
from conftest import SAMPLE, BASE, data, header, marker

SAMPLE_BYTES = pathlib.Path(SAMPLE).read_bytes()


@pytest.mark.parametrize("path,error,number", [
    ("missing.dat", FileNotFoundError, errno.ENOENT),
    (".", IsADirectoryError, errno.EISDIR),
    ("unreadable.dat", PermissionError, errno.EACCES),
])
def test_files_that_cannot_be_read_raise_their_oserror(tmp_path, monkeypatch, path, error, number):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "unreadable.dat").write_bytes(b"")
    os.chmod(tmp_path / "unreadable.dat", 0)
    if path == "unreadable.dat" and os.access(tmp_path / "unreadable.dat", os.R_OK):
        pytest.skip("running as a user who reads every file")
    for call in (zolt.read, zolt.read_arrays, zolt.info):
        with pytest.raises(error) as raised:
            call([SAMPLE, path])
        assert raised.value.filename == path
        assert raised.value.errno == number


@pytest.mark.parametrize("call", [
    lambda: zolt.read(SAMPLE, "datum"),
    lambda: zolt.read_arrays(SAMPLE, "Data"),
    lambda: zolt.read(SAMPLE, start="yesterday-ish"),
    lambda: zolt.read(SAMPLE, end="2026-13-01"),
    lambda: zolt.read(SAMPLE, start="2026-12-02", end="2026-12-01"),
    lambda: zolt.read(SAMPLE, start=object()),
])
def test_bad_tables_and_times_raise_valueerror(call):
    with pytest.raises(ValueError):
        call()


def test_damage_is_one_warning_per_file_with_its_rows(tmp_path):
    cut = tmp_path / "cut.dat"
    cut.write_bytes(header() + marker() + data(1) + b"\xee\xef" + data(2) + data(3)[:7])
    clean = tmp_path / "clean.dat"
    clean.write_bytes(marker(BASE + 1) + data(4))
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        frame = zolt.read([str(cut), str(clean)])
    assert [type(w.message) for w in caught] == [zolt.DecodeWarning]
    assert issubclass(zolt.DecodeWarning, UserWarning)
    text = str(caught[0].message)
    assert str(cut) in text
    assert "2 bytes of unknown record type, the first at offset 42" in text  # header, marker, data
    assert "cut short at offset 62 (7 bytes there)" in text
    assert frame["sample"].tolist() == [0, 1, 0]


def test_file_objects_give_what_paths_give(tmp_path):
    expected = zolt.read_arrays([SAMPLE, SAMPLE], "pressure")
    with open(SAMPLE, "rb") as opened:
        sources = [opened, io.BytesIO(SAMPLE_BYTES)]
        got = zolt.read_arrays(sources, "pressure")
    for name in expected:
        assert np.array_equal(got[name], expected[name])
    fsspec = pytest.importorskip("fsspec")
    opened = fsspec.open(f"file://{SAMPLE}", "rb")
    assert np.array_equal(zolt.read_arrays(opened, "pressure")["counts"], expected["counts"][:60])
    assert zolt.read(pathlib.Path(SAMPLE)).equals(zolt.read(os.fsencode(SAMPLE)))
    with pytest.raises(TypeError):
        zolt.read(io.StringIO("text"))


def owner(array):
    """What finally holds an array's memory."""
    while isinstance(array, np.ndarray):
        array = array.base
    return type(array).__name__


def test_arrays_own_the_decoders_memory_and_are_no_copies():
    arrays = zolt.read_arrays(SAMPLE)
    for name, array in arrays.items():
        assert array.flags.owndata is False, name
        assert type(array.base).__name__ == "PyCapsule", name
    frame = zolt.read(SAMPLE)
    for name in frame.columns[1:]:
        assert owner(frame[name].to_numpy()) == "PyCapsule", name
    assert owner(frame["time"].array._ndarray) == "PyCapsule"


def test_the_gil_is_released_while_a_file_is_decoded():
    big = SAMPLE_BYTES * 300  # 32 MB
    ticks = []
    done = threading.Event()

    def ticker():
        while not done.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.001)

    other = threading.Thread(target=ticker)
    other.start()
    try:
        started = time.perf_counter()
        zolt.read_arrays(io.BytesIO(big))
        finished = time.perf_counter()
    finally:
        done.set()
        other.join()
    # The other thread kept running while the file was decoded.
    assert sum(started < tick < finished for tick in ticks) >= 5


def test_two_threads_read_what_one_reads():
    expected = zolt.read(SAMPLE, "system")
    results = [None, None]

    def reader(slot):
        results[slot] = zolt.read([SAMPLE] * 50, "system")

    threads = [threading.Thread(target=reader, args=(slot,)) for slot in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for result in results:
        assert result.iloc[: len(expected)].equals(expected)
        assert len(result) == 50 * len(expected)


def test_ctrl_c_stops_a_long_read():
    big = SAMPLE_BYTES * 2000  # 200 MB
    timer = threading.Timer(0.05, _thread.interrupt_main)
    timer.start()
    started = time.perf_counter()
    with pytest.raises(KeyboardInterrupt):
        zolt.read_arrays(io.BytesIO(big))
    timer.join()
    assert time.perf_counter() - started < 2


def test_info_is_the_json_of_the_check():
    objects = zolt.info([SAMPLE, io.BytesIO(SAMPLE_BYTES)])
    assert [entry["file"] for entry in objects[:1]] == [SAMPLE]
    assert objects[-1]["file"] is None
    assert objects[0]["records"]["data"] == 6000
    assert objects[-1]["markers"]["steps_back"] == 1  # the second file starts over


def test_the_readmes_first_example_runs(tmp_path):
    root = os.path.dirname(os.path.dirname(SAMPLE))
    readme = pathlib.Path(root, "README.md").read_text()
    example = readme.split("```python\n", 1)[1].split("```", 1)[0]
    picture = tmp_path / "acc_z.png"
    script = f"import matplotlib\nmatplotlib.use('Agg')\n{example}\nmatplotlib.pyplot.savefig({str(picture)!r})\n"
    done = subprocess.run([sys.executable, "-c", script], cwd=root, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert picture.stat().st_size > 10000
