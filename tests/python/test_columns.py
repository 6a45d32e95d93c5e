"""A choice of columns: the same values as the whole table, bit for bit,
in the order asked for, from every reader; a name the table lacks is
refused with the names it has."""

import warnings

import numpy as np
import pandas as pd
import pytest

import zolt
from conftest import SAMPLE
from test_tables import runs

CHOICES = {
    "header": [["rate", "time"], ["duration_ms"]],
    "marker": [["time"]],
    "data": [["acc_z"], ["quat_3", "time", "acc_x_counts"], []],
    "pressure": [["ext_press_bar", "counts"]],
    "index": [["file"], ["max_val_counts", "duration_s"]],
    "system": [["hum_counts", "temp_degC"]],
}


def same(got, want):
    if want.dtype.kind in "fM":  # NaN and NaT as their bits
        return got.dtype == want.dtype and np.array_equal(got.view(np.int64), want.view(np.int64))
    return got.dtype == want.dtype and np.array_equal(got, want)


def test_chosen_columns_are_the_whole_tables_columns(tmp_path, make_sample):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", zolt.DecodeWarning)
        for what, paths in runs(tmp_path, make_sample).items():
            for table, choices in CHOICES.items():
                whole = zolt.read_arrays(paths, table, columns=[name for name, *_ in zolt._zolt.table_columns(table)])
                for columns in choices:
                    chosen = zolt.read_arrays(paths, table, columns=columns)
                    assert list(chosen) == columns, (what, table)
                    for name in columns:
                        assert same(chosen[name], whole[name]), (what, table, name)
                    frame = zolt.read(paths, table, columns=columns, start="2026-12-01T00:00:01")
                    windowed = zolt.read(paths, table, start="2026-12-01T00:00:01",
                                         columns=sorted(set(columns) | {"time"}))
                    pd.testing.assert_frame_equal(frame, windowed[columns])
                    assert len(frame) == len(windowed), (what, table, columns)


def test_a_dataset_of_chosen_variables_is_those_of_the_whole_dataset():
    for table, columns in (("data", ["acc_z", "quat_0"]), ("pressure", ["counts"]), ("index", ["file"])):
        whole = zolt.open_dataset(SAMPLE, table)
        chosen = zolt.open_dataset(SAMPLE, table, columns=columns)
        assert sorted(chosen.variables) == sorted(["time", *columns])
        import xarray as xr
        xr.testing.assert_identical(chosen, whole[columns])
        by_engine = xr.open_dataset(SAMPLE, engine="zolt", group=table, columns=columns)
        xr.testing.assert_identical(by_engine.load(), chosen)


@pytest.mark.parametrize("call", [zolt.read, zolt.read_arrays, zolt.open_dataset])
def test_unknown_and_repeated_columns_are_refused(call):
    with pytest.raises(ValueError, match=r"no column 'acc_w' in the data table; its columns are time, sample, acc_x"):
        call(SAMPLE, columns=["acc_z", "acc_w"])
    with pytest.raises(ValueError, match=r"'volts' in the system table; its columns are time, batt_V"):
        call(SAMPLE, "system", columns=["volts"])
    with pytest.raises(ValueError, match="acc_z more than once"):
        call(SAMPLE, columns=["acc_z", "acc_z"])
    with pytest.raises(TypeError, match=r"columns=\['acc_z'\]"):
        call(SAMPLE, columns="acc_z")


def test_dask_reads_the_columns_asked_for(tmp_path):
    import zolt.dask

    frame = zolt.dask.read([SAMPLE, SAMPLE], columns=["acc_y", "sample"], index="time")
    assert list(frame.columns) == ["acc_y", "sample"]
    whole = zolt.read(SAMPLE).dropna(subset=["time"]).set_index("time")[["acc_y", "sample"]]
    pd.testing.assert_frame_equal(frame.compute(), pd.concat([whole, whole]))
    with pytest.raises(ValueError, match="no column 'nope'"):
        zolt.dask.read(SAMPLE, columns=["nope"])
