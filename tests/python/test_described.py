"""Every reader gives a column the same dtype, and tells its units and long
name as the netCDF file does."""

import numpy as np
import pytest

import zolt
from conftest import SAMPLE


@pytest.mark.parametrize("table", zolt.TABLES)
def test_every_reader_gives_the_same_dtypes_and_the_files_units(tmp_path, table):
    frame = zolt.read(SAMPLE, table)
    arrays = zolt.read_arrays(SAMPLE, table)
    dataset = zolt.open_dataset(SAMPLE, table)
    batch = next(zolt.batches(SAMPLE, table, rows=10), frame)
    out = tmp_path / "sample.nc"
    zolt.to_netcdf(SAMPLE, out)
    import xarray as xr

    with xr.open_dataset(out, group=table) as stored:
        for name in frame.columns:
            if name == "time":
                continue
            # The file itself may hold a count narrower than its value.
            dtypes = {frame[name].dtype, arrays[name].dtype, dataset[name].dtype, batch[name].dtype}
            assert len(dtypes) == 1, (table, name, dtypes)
            for attribute in ("units", "long_name"):
                assert frame.attrs[attribute].get(name) == stored[name].attrs.get(attribute), (table, name)
                assert batch.attrs[attribute].get(name) == dataset[name].attrs.get(attribute), (table, name)
    assert frame.attrs["table"] == table and frame.attrs["input_files"] == [SAMPLE]
    assert frame.attrs["decoder_version"] == f"zolt {zolt.__version__}"


def test_the_attributes_follow_the_columns_chosen():
    frame = zolt.read(SAMPLE, "pressure", columns=["ext_press_bar", "counts"])
    assert frame.attrs["units"] == {"ext_press_bar": "bar", "counts": "1"}
    assert set(frame.attrs["long_name"]) == {"ext_press_bar", "counts"}
    assert np.dtype(frame["counts"].dtype) == np.int64


def test_a_dataset_is_along_time_where_its_times_increase(tmp_path):
    from conftest import BASE, data, header, marker

    import xarray as xr

    along = zolt.open_dataset(SAMPLE)
    assert dict(along.sizes) == {"time": 6000} and "time_order" not in along.attrs
    assert along.sel(time="2026-12-01T00:00:30").sizes["time"] == 100
    stepped = tmp_path / "stepped.dat"
    stepped.write_bytes(header(3) + marker(BASE + 5) + data(1) + marker(BASE) + data(2))
    for untimed in (zolt.open_dataset(stepped), zolt.open_dataset([SAMPLE, SAMPLE])):
        assert "obs" in untimed.dims and "do not increase" in untimed.attrs["time_order"]
    with pytest.raises(ValueError, match="name it with group=, one of header, marker, data, pressure"):
        xr.open_dataset(SAMPLE, engine="zolt")


def test_the_namespace_is_the_packages_own_and_help_lists_every_column():
    names = dir(zolt)
    assert not {"np", "os", "json", "Any", "warnings", "Union"} & set(names)
    assert set(zolt.__all__) <= set(names) and "batches" in zolt.__all__
    for table in zolt.TABLES:
        for name, _, csv, _, _, _, units in zolt._zolt.table_columns(table):
            if csv:
                assert (f"{name} [{units}]" if units else name) in zolt.read.__doc__, (table, name)
    assert f"    pressure: time, counts [1], volts [V], ext_press_bar [bar]" in zolt.__doc__
