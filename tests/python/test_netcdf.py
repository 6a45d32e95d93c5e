"""The netCDF export: every group read back equals the CSV table, cell for
cell; times are exact in xarray too; every attribute is there and every
unit is one UDUNITS knows; the Dataset made in memory is the file's."""

import io
import os
import subprocess
import warnings

import netCDF4
import numpy as np
import pandas as pd
import pytest
import xarray as xr

import zolt
from conftest import BASE, SAMPLE, csv_table, data, header, marker, pressure, system
from test_tables import WINDOWS, from_csv, runs

GLOBAL = ["Conventions", "title", "source", "history", "date_created", "decoder_version", "input_files", "tables",
          "comment"]


def export(decode, paths, out, *extra):
    done = subprocess.run([decode, f"--netcdf={out}", *extra, *paths], capture_output=True)
    assert done.returncode == 0, done.stderr
    return out


def microseconds(variable):
    """A time variable's values as microseconds since 1970, None for fill."""
    epoch = pd.Timestamp(variable.units.split(" since ")[1])
    raw = variable[:]
    base = int(epoch.value // 1000)
    return [None if np.ma.is_masked(value) else base + int(value) for value in raw]


def test_every_group_equals_the_csv_table(tmp_path, decode, make_sample):
    for what, paths in runs(tmp_path, make_sample).items():
        for start, end in WINDOWS:
            extra = [f"--from={start}", f"--to={end}"] if start else []
            out = export(decode, paths, tmp_path / "run.nc", *extra)
            with netCDF4.Dataset(out) as dataset:
                for table in zolt.TABLES:
                    text, _ = csv_table(decode, paths, table, *extra)
                    expected = from_csv(text, table)
                    group = dataset.groups[table]
                    assert list(group.variables) == list(expected.columns), (what, table)
                    times = expected["time"].dt.tz_localize(None).to_numpy().astype("datetime64[us]").astype(np.int64)
                    want = [None if pd.isna(t) else int(v) for t, v in zip(expected["time"], times)]
                    assert microseconds(group["time"]) == want, (what, table, start)
                    for name in expected.columns[1:]:
                        got = np.asarray(group[name][:])
                        if name == "file":
                            assert [csv_text(name_bytes(v)) for v in got] == expected[name].tolist()
                        elif expected[name].dtype == np.float64:
                            assert np.array_equal(got.astype(np.float64).view(np.int64),
                                                  expected[name].to_numpy().view(np.int64)), (what, table, name)
                        else:
                            assert got.dtype.kind == "i" and np.array_equal(got, expected[name].to_numpy())


def name_bytes(text):
    """The bytes of a name from the netCDF file's text of it."""
    out, at = bytearray(), 0
    while at < len(text):
        if text.startswith("\\\\", at):
            out += b"\\"
            at += 2
        elif text.startswith("\\x", at):
            out.append(int(text[at + 2:at + 4], 16))
            at += 4
        else:
            out += text[at].encode()
            at += 1
    return bytes(out)


def csv_text(raw):
    """A name as the CSV table writes it."""
    return "".join(chr(b) if 0x20 <= b < 0x7F and b != 0x5C else "\\\\" if b == 0x5C else f"\\x{b:02X}" for b in raw)


def test_xarray_times_are_exact_over_long_runs(tmp_path, decode):
    # 200 days, every record timed: no fill value, integer decoding.
    day = 86400
    first = header(3) + marker() + data(1) + data(2) + data(3)
    later = marker(BASE + 200 * day) + data(4) + data(5)
    # 90 days with a row before the first marker: a fill value, and the
    # epoch at the run's first marker keeps float decoding exact.
    untimed = header(3) + data(0) + pressure() + marker() + data(1) + data(2)
    late = marker(BASE + 90 * day) + data(3) + data(4) + data(5) + system(BASE + 90 * day)
    for files, fill in (((first, later), False), ((untimed, late), True)):
        paths = []
        for number, content in enumerate(files):
            path = tmp_path / f"part{number}.dat"
            path.write_bytes(content)
            paths.append(str(path))
        out = export(decode, paths, tmp_path / "long.nc")
        text, _ = csv_table(decode, paths, "data")
        expected = from_csv(text, "data")["time"].dt.tz_localize(None)
        decoded = xr.open_dataset(out, group="data")["time"].to_numpy()
        assert list(pd.to_datetime(decoded)) == list(expected)
        with netCDF4.Dataset(out) as dataset:
            assert ("_FillValue" in dataset["data"]["time"].ncattrs()) == fill


def test_every_attribute_is_there_and_every_unit_is_known(tmp_path, decode):
    out = export(decode, [SAMPLE], tmp_path / "sample.nc")
    header_text = subprocess.run(["ncdump", "-h", str(out)], capture_output=True, text=True, check=True).stdout
    for name in GLOBAL:
        assert f"\t\t:{name} = " in header_text, name
    units = set()
    with netCDF4.Dataset(out) as dataset:
        for table in zolt.TABLES:
            for name, variable in dataset.groups[table].variables.items():
                attributes = set(variable.ncattrs())
                assert "long_name" in attributes, (table, name)
                if name == "time":
                    assert {"units", "calendar", "standard_name", "axis"} <= attributes
                    assert variable.units.startswith("microseconds since ")
                else:
                    assert variable.coordinates == "time"
                real = variable.dtype == np.float64 or "scale_factor" in attributes
                assert ("actual_range" in attributes) == (real and len(variable) > 0), (table, name)
                if "actual_range" in attributes:
                    values = np.asarray(variable[:], dtype=np.float64)
                    assert list(variable.actual_range) == [values.min(), values.max()]
                if "units" in attributes:
                    units.add(variable.units)
    for unit in sorted(units):
        said = subprocess.run(["udunits2", "-H", unit, "-W", ""], capture_output=True, text=True)
        assert "Don't recognize" not in said.stdout + said.stderr, unit
        assert "Don't recognize" in subprocess.run(["udunits2", "-H", "psia", "-W", ""], capture_output=True,
                                                   text=True).stderr


@pytest.mark.parametrize("table", zolt.TABLES)
def test_a_dataset_in_memory_is_the_files_group(tmp_path, table):
    run = tmp_path / "run.dat"
    run.write_bytes(header(3) + data(0) + marker() + data(1) + data(2) + b"\x09" + pressure() + system())
    out = tmp_path / "run.nc"
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", zolt.DecodeWarning)
        zolt.to_netcdf([SAMPLE, str(run)], out, start=None, meta={"title": "a test", "latitude": -33.5})
        in_memory = zolt.open_dataset([SAMPLE, str(run)], table)
        by_engine = xr.open_dataset(SAMPLE, engine="zolt", group=table)
    with xr.open_dataset(out, group=table) as from_file:
        # xarray decodes the file's 16-bit counts as float32, which holds
        # them exactly; zolt gives every reader's float64.
        widened = from_file.astype({name: in_memory[name].dtype for name in from_file.data_vars}, keep_attrs=True)
        # The file is along obs; the Dataset along time where it can be.
        if "time_order" in in_memory.attrs:
            assert "do not increase" in in_memory.attrs.pop("time_order")
        else:
            widened = widened.swap_dims({"obs": "time"})
        xr.testing.assert_identical(in_memory, widened)
    xr.testing.assert_identical(by_engine.load(), zolt.open_dataset(SAMPLE, table))
    with netCDF4.Dataset(out) as dataset:
        assert dataset.title == "a test" and dataset.latitude == -33.5
        assert dataset.tables == ", ".join(dataset.groups) == ", ".join(zolt.TABLES + ("depth", "dives"))
        assert "run.dat: 1 byte of unknown record type, the first at offset" in dataset.comment


def test_to_netcdf_writes_nothing_when_a_file_cannot_be_read(tmp_path):
    out = tmp_path / "out.nc"
    out.write_bytes(b"before")
    with pytest.raises(FileNotFoundError):
        zolt.to_netcdf([SAMPLE, str(tmp_path / "missing.dat")], out)
    assert out.read_bytes() == b"before"
    assert sorted(os.listdir(tmp_path)) == ["out.nc"]
    with pytest.raises(TypeError):
        zolt.to_netcdf(SAMPLE, out, meta={"flag": True})


def test_the_depth_and_the_dives_are_groups_with_their_method(tmp_path, decode, make_sample):
    """depth is CF's depth, positive down, with the method beside it; the
    dives group has a row for each of --csv=dives's, the parameters given."""
    deployment = tmp_path / "dives.dat"
    subprocess.run([make_sample, str(deployment), "36000", "dives"], check=True, capture_output=True)
    out = tmp_path / "dives.nc"
    parameters = ["--dive-depth=3", "--latitude=-20", "--water=fresh"]
    subprocess.run([decode, f"--netcdf={out}", *parameters, str(deployment)], check=True)
    table = subprocess.run([decode, "--csv=dives", *parameters, str(deployment)], check=True,
                           capture_output=True).stdout
    expected = pd.read_csv(io.BytesIO(table), float_precision="round_trip")
    with xr.open_dataset(out, group="depth") as depth:
        attrs = depth["depth"].attrs
        assert (attrs["standard_name"], attrs["positive"], attrs["units"]) == ("depth", "down", "m")
        assert (attrs["water"], attrs["latitude"], attrs["latitude_source"]) == ("fresh", -20, "given")
        assert "hydrostatic" in attrs["depth_method"]
        assert depth["surface_pressure"].attrs["units"] == "bar"
        assert depth["surface_pressure"].attrs["surface_window_s"] == 21600
        assert len(depth["time"]) == len(zolt.read(deployment, "depth"))
        assert float(depth["depth"].max()) > 100
    with xr.open_dataset(out, group="dives") as dives:
        assert dives.sizes["dive"] == len(expected) > 0
        assert set(dives.data_vars) == set(expected.columns)
        assert (dives.attrs["dive_depth_m"], dives.attrs["min_dive_s"]) == (3, 5)
        assert dives["max_depth_m"].attrs["units"] == "m"
        np.testing.assert_allclose(dives["max_depth_m"].values, expected["max_depth_m"], atol=5e-5)
        assert (dives["complete"].values == expected["complete"].values).all()
        starts = pd.to_datetime(expected["start"]).dt.tz_localize(None).to_numpy("datetime64[ns]")
        late = dives["start"].values - starts  # the CSV's times are cut to the millisecond
        assert ((late >= np.timedelta64(0)) & (late < np.timedelta64(1, "ms"))).all()
