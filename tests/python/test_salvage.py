"""salvage=True through every reader: a wiped sector costs only the records
in it, the warning names the stretch, and the check tells what salvage
would keep."""

import warnings

import pandas as pd
import pytest

import zolt
import zolt.dask
from conftest import SAMPLE

WIPED_FROM, WIPED_TO = 20000, 20512


@pytest.fixture(scope="module")
def wiped(tmp_path_factory):
    data = bytearray(open(SAMPLE, "rb").read())
    data[WIPED_FROM:WIPED_TO] = bytes(WIPED_TO - WIPED_FROM)
    path = tmp_path_factory.mktemp("salvage") / "wiped.dat"
    path.write_bytes(bytes(data))
    return str(path)


def _quietly(call, *args, **kwargs):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = call(*args, **kwargs)
    return result, [str(w.message) for w in caught if issubclass(w.category, zolt.DecodeWarning)]


def test_salvaged_rows_are_the_undamaged_rows_the_wipe_left(wiped):
    whole = zolt.read(SAMPLE)
    salvaged, told = _quietly(zolt.read, wiped, salvage=True)
    assert len(told) == 1 and "skipped" in told[0] and ": no records there sit on the file's framing" in told[0]
    # Every salvaged row is a row of the undamaged file, in order, and only
    # the rows of the wiped second's records are missing.
    merged = salvaged.merge(whole, how="left", indicator=True)
    assert (merged["_merge"] == "both").all()
    assert 0 < len(whole) - len(salvaged) <= (WIPED_TO - WIPED_FROM) // 18 + 2
    assert salvaged["time"].is_monotonic_increasing


def test_every_reader_salvages_alike(wiped, tmp_path):
    frame, _ = _quietly(zolt.read, wiped, salvage=True)
    arrays, _ = _quietly(zolt.read_arrays, wiped, salvage=True)
    assert len(arrays["acc_x"]) == len(frame)
    dataset, _ = _quietly(zolt.open_dataset, wiped, salvage=True)
    assert dataset.sizes["time"] == len(frame)  # the salvaged times increase
    out = tmp_path / "wiped.nc"
    _quietly(zolt.to_netcdf, wiped, out, salvage=True)
    import xarray
    with xarray.open_dataset(out, group="data") as stored:
        assert stored.sizes["obs"] == len(frame)
    with xarray.open_dataset(out) as root:
        assert "no records there sit on the file's framing" in root.attrs["comment"]
    distributed, _ = _quietly(lambda: zolt.dask.read([wiped], salvage=True).compute())
    pd.testing.assert_frame_equal(distributed.reset_index(drop=True), frame)


def test_the_check_tells_what_salvage_would_keep(wiped):
    plain = zolt.info(wiped)[0]
    assert plain["salvaged"] is False
    assert plain["suspect"]["stretches"] == 1
    (stretch,) = plain["suspect"]["first"]
    assert stretch["offset"] <= WIPED_FROM and stretch["offset"] + stretch["bytes"] >= WIPED_TO
    salvaged = zolt.info(wiped, salvage=True)[0]
    assert salvaged["salvaged"] is True
    assert plain["salvage_records"] == salvaged["records"]
    clean = zolt.info(SAMPLE)[0]
    assert clean["suspect"] == {"stretches": 0, "bytes": 0, "first": []}
    assert clean["salvage_records"] == clean["records"]
