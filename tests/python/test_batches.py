"""zolt.batches: the batches end to end are what one read gives, bit for
bit, wherever their edges fall; damage warns, a file that cannot be read
raises after the rows before it, and leaving early stops the reading."""

import warnings

import numpy as np
import pandas as pd
import pytest

import zolt
from conftest import SAMPLE, data, header, marker, pressure
from test_tables import runs


def bits(column):
    """A column's values as what compares them bit for bit: NaN and NaT too."""
    if isinstance(column.dtype, pd.DatetimeTZDtype):
        return column.array.asi8
    values = column.to_numpy()
    return values.view(np.int64) if values.dtype.kind == "f" else values


def concatenated(paths, table, rows, **options):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", zolt.DecodeWarning)
        batches = list(zolt.batches(paths, table, rows=rows, **options))
        whole = zolt.read(paths, table, **options)
    assert all(0 < len(batch) <= rows for batch in batches)
    assert all(len(batch) == rows for batch in batches[:-1])
    return (pd.concat(batches, ignore_index=True) if batches else whole.iloc[:0]), whole


def test_batches_end_to_end_are_one_read(tmp_path, make_sample):
    # The sample has 6000 rows of data: 2500 puts an edge inside it and
    # 6000 one between files; 7 cuts the small tables too.
    for what, paths in runs(tmp_path, make_sample).items():
        for table in zolt.TABLES:
            # 7 rows a batch cuts the small tables; the data table's 997
            # leaves an edge inside each file.
            for rows, options in ((997 if table == "data" else 7, {}), (2500, {"columns": ["time"]}), (6000, {}),
                                  (10**9, {"start": "2026-12-01T00:00:10", "end": "2026-12-01T00:00:20"})):
                got, whole = concatenated(paths + [SAMPLE], table, rows, **options)
                for name in whole.columns:
                    assert got[name].dtype == whole[name].dtype, (what, table, name)
                    assert np.array_equal(bits(got[name]), bits(whole[name])), (what, table, name)
                assert list(got.columns) == list(whole.columns) and len(got) == len(whole)


def test_damage_warns_and_an_unreadable_file_raises_after_the_rows_before_it(tmp_path):
    damaged = tmp_path / "damaged.dat"
    damaged.write_bytes(header(3) + marker() + data(1) + data(2) + b"\x09" + pressure())
    batches = zolt.batches([str(damaged), str(tmp_path / "missing.dat"), SAMPLE], rows=1)
    with pytest.warns(zolt.DecodeWarning, match="damaged.dat: 1 byte of unknown record type"):
        first = [next(batches), next(batches)]
    assert [len(batch) for batch in first] == [1, 1]
    with pytest.raises(FileNotFoundError) as raised:
        next(batches)
    assert raised.value.filename.endswith("missing.dat")


def test_leaving_early_stops_the_reading_and_bad_arguments_are_refused():
    batches = zolt.batches([SAMPLE] * 50, rows=10)
    assert len(next(batches)) == 10
    batches.close()  # would hang, or read all 50, if the reader went on
    with pytest.raises(StopIteration):
        next(batches)
    for rows in (0, -1, 2.5, True):
        with pytest.raises(ValueError, match="rows must be"):
            zolt.batches(SAMPLE, rows=rows)
    with pytest.raises(ValueError, match="unknown table"):
        zolt.batches(SAMPLE, "depths")
    with pytest.raises(ValueError, match="no column 'nope'"):
        zolt.batches(SAMPLE, columns=["nope"])
