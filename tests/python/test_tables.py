"""Every table of realistic and damaged runs, from zolt.read, equals the
CSV table of decode --csv read with exact parsing, cell for cell; and the
windows keep the same rows."""

import io
import os
import subprocess
import warnings

import numpy as np
import pandas as pd
import pytest

import zolt
from conftest import SAMPLE, BASE, csv_table, data, header, index, marker, pressure, system


def runs(tmp_path, make_sample):
    """Named runs of files, each a list of paths."""
    deployment = tmp_path / "deployment.dat"
    subprocess.run([make_sample, str(deployment), "600", "deployment"], check=True)
    damaged = (header(3) + data(0) + pressure() + marker() + b"".join(data(n) for n in range(7)) + b"\x0b\xff"
               + index(b'a,b"c\\\xff\x01') + system(BASE + 1) + marker(BASE + 1) + data(8) + pressure(0)
               + marker(BASE - 5) + data(9) + header(0)[:11])
    second = marker(BASE + 2) + data(10) + data(11) + system(BASE + 3, (0, 65535, 0, 65535, 1, 65534))
    rate0 = header(0) + marker() + data(1) + data(2) + pressure(65535) + index(b"")
    files = {"damaged.dat": damaged, "second.dat": second, "rate0.dat": rate0}
    for name, content in files.items():
        (tmp_path / name).write_bytes(content)
    return {
        "sample": [SAMPLE],
        "deployment": [str(deployment)],
        "damaged run": [str(tmp_path / "damaged.dat"), str(tmp_path / "second.dat")],
        "rate 0": [str(tmp_path / "rate0.dat")],
    }


INTEGERS = {"sample", "counts", "ver", "id", "rate"}


def from_csv(text, table):
    names = text.split(b"\n", 1)[0].decode().split(",")
    types = {name: np.int64 if name in INTEGERS else str if name in ("time", "file") else np.float64 for name in names}
    frame = pd.read_csv(io.BytesIO(text), float_precision="round_trip", keep_default_na=False, dtype=types)
    frame["time"] = pd.to_datetime(frame["time"].where(frame["time"] != "", None), utc=True)
    return frame


def assert_same(frame, expected):
    assert list(frame.columns) == list(expected.columns)
    assert len(frame) == len(expected)
    for name in frame.columns:
        got, want = frame[name], expected[name]
        if name == "time":
            assert got.dtype == "datetime64[ns, UTC]"
            assert got.isna().tolist() == want.isna().tolist()
            assert (got[got.notna()] == want[want.notna()]).all()
        elif name == "file":
            assert got.tolist() == want.tolist()
        else:
            assert got.dtype == want.dtype, name
            assert np.array_equal(got.to_numpy().view(np.int64), want.to_numpy().view(np.int64)), name


WINDOWS = [
    (None, None),
    ("2026-12-01T00:00:10.005", "2026-12-01T00:05:00"),
    ("2013-03-18T00:06:40.333334", "2013-03-18T00:06:42"),
]


@pytest.mark.parametrize("table", zolt.TABLES)
def test_every_table_equals_the_csv_table(tmp_path, decode, make_sample, table):
    for what, paths in runs(tmp_path, make_sample).items():
        for start, end in WINDOWS:
            extra = [f"--from={start}", f"--to={end}"] if start else []
            text, _ = csv_table(decode, paths, table, *extra)
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", zolt.DecodeWarning)
                frame = zolt.read(paths, table, start=start, end=end)
            assert_same(frame, from_csv(text, table)), (what, start)
            if what == "damaged run" and table == "data" and start is None:
                assert frame["time"].isna().sum() == 1 and len(frame) == 12


def test_arrays_are_the_frame_in_numpy_terms(tmp_path):
    arrays = zolt.read_arrays(SAMPLE)
    frame = zolt.read(SAMPLE)
    assert list(arrays) == list(frame.columns)
    assert arrays["time"].dtype == np.dtype("datetime64[us]")
    assert (arrays["time"].astype("datetime64[ns]") == frame["time"].dt.tz_localize(None).to_numpy()).all()
    for name in frame.columns[1:]:
        assert np.array_equal(arrays[name], frame[name].to_numpy())
    empty = tmp_path / "empty.dat"
    empty.write_bytes(b"")
    assert {name: len(column) for name, column in zolt.read_arrays(str(empty), "index").items()} == {
        "time": 0, "duration_s": 0, "max_val": 0, "file": 0}


@pytest.mark.parametrize("start,end,rows", [
    ("2026-12-01", None, 6000),
    (pd.Timestamp("2026-12-01T00:00:30.5"), "2026-12-01T00:00:31", 50),
    ("2026-12-01T01:00:30.5+01:00", np.datetime64("2026-12-01T00:00:31"), 50),  # an offset is converted
    (None, "2026-12-01T00:00:00.000001", 1),
    ("2026-12-01T00:00:00.0000001", None, 5999),  # 100 ns: the first sample is before it
])
def test_windows_keep_what_the_command_line_keeps(start, end, rows):
    assert len(zolt.read(SAMPLE, start=start, end=end)) == rows


def test_the_analysis_tables_are_decodes(tmp_path, decode, make_sample):
    """zolt.read gives the dives, the depth and the activity of a deployment
    as decode --csv does, cell for cell, with their times as times."""
    deployment = tmp_path / "dives.dat"
    subprocess.run([make_sample, str(deployment), "36000", "dives"], check=True, capture_output=True)
    window = {"start": "2026-12-01T04:00", "end": "2026-12-01T04:10"}
    for table, extra in (("dives", {}), ("depth", window), ("activity", window)):
        args = ["--from=2026-12-01T04:00", "--to=2026-12-01T04:10"] if extra else []
        text, errors = csv_table(decode, [str(deployment)], table, *args)
        assert errors == ""
        expected = pd.read_csv(io.BytesIO(text), float_precision="round_trip")
        got = zolt.read(deployment, table, **extra)
        assert list(got.columns) == list(expected.columns), table
        assert len(got) == len(expected) > 0, table
        for column in got.columns:
            if str(got[column].dtype).startswith("datetime64"):
                assert (got[column] == pd.to_datetime(expected[column], utc=True)).all(), (table, column)
            else:
                pd.testing.assert_series_equal(got[column], expected[column], check_names=False)
    dives = zolt.read(deployment, "dives")
    assert dives["complete"].dtype == bool and not dives["complete"].all()
