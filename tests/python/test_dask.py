"""zolt.dask: one partition per file, equal to the files read one by one;
files outside a window never decoded; divisions known for one logger's
deployment and unknown otherwise; and a real cluster of two workers."""

import os
import warnings

import dask
import numpy as np
import pandas as pd
import pytest

import zolt
import zolt.dask
from conftest import BASE, SAMPLE, data, header, marker, pressure, system

dask.config.set(scheduler="threads")


def deployment(tmp_path, starts, with_headers=True):
    """Files of three seconds at 4 samples a second, starting where given."""
    paths = []
    for number, start in enumerate(starts):
        content = header(4, BASE + start) if with_headers or number == 0 else b""
        for second in range(3):
            content += marker(BASE + start + second) + b"".join(data(4 * second + n) for n in range(4))
            content += pressure(1000 + second) + system(BASE + start + second)
        path = tmp_path / f"part{number:02}.dat"
        path.write_bytes(content)
        paths.append(str(path))
    return paths


def equal(left, right):
    pd.testing.assert_frame_equal(left.reset_index(drop=True), right.reset_index(drop=True), check_exact=True)


@pytest.mark.parametrize("table", zolt.TABLES)
def test_the_dask_frame_is_the_files_read_one_by_one(tmp_path, table):
    paths = deployment(tmp_path, [0, 10, 20]) + [SAMPLE]
    for start, end in ((None, None), (f"{pd.Timestamp(BASE + 11, unit='s')}", f"{pd.Timestamp(BASE + 21, unit='s')}")):
        frame = zolt.dask.read(paths, table, start=start, end=end)
        assert frame.npartitions <= len(paths)
        expected = pd.concat([zolt.read(path, table, start=start, end=end) for path in paths])
        equal(frame.compute(), expected)
    assert list(frame.dtypes) == list(expected.dtypes)


def test_a_deployment_is_what_one_run_reads(tmp_path):
    # The second and third files have no header: they carry the rate in.
    paths = deployment(tmp_path, [0, 10, 20], with_headers=False)
    equal(zolt.dask.read(str(tmp_path / "part*.dat")).compute(), zolt.read(paths))


def test_files_outside_the_window_are_never_decoded(tmp_path, monkeypatch):
    paths = deployment(tmp_path, [0, 10, 20, 30])
    decoded = []
    real = zolt.dask._partition

    def counting(part, *rest, **named):
        decoded.append(part[0])
        return real(part, *rest, **named)

    monkeypatch.setattr(zolt.dask, "_partition", counting)
    window = {"start": pd.Timestamp(BASE + 11, unit="s"), "end": pd.Timestamp(BASE + 12.5, unit="s")}
    for table in ("data", "pressure", "system", "marker"):
        decoded.clear()
        frame = zolt.dask.read(paths, table, **window).compute()
        assert decoded == [paths[1]], table
        equal(frame, zolt.read(paths, table, **window))


def test_divisions_are_known_for_one_loggers_deployment(tmp_path, monkeypatch):
    ordered = deployment(tmp_path, [0, 10, 20, 30])
    decoded = []
    real = zolt.dask._partition
    monkeypatch.setattr(zolt.dask, "_partition",
                        lambda part, *rest, **named: decoded.append(part[0]) or real(part, *rest, **named))
    frame = zolt.dask.read(ordered, index="time")
    assert frame.known_divisions
    assert frame.divisions[0] == pd.Timestamp(BASE, unit="s", tz="UTC")
    day = frame.loc[pd.Timestamp(BASE + 21, unit="s", tz="UTC"):pd.Timestamp(BASE + 22, unit="s", tz="UTC")].compute()
    assert decoded == [ordered[2]]
    assert len(day) == 5 and day.index.is_monotonic_increasing
    # Files over the same time, or a clock that steps back: no divisions,
    # and nothing fails.
    overlapping = zolt.dask.read(deployment(tmp_path, [0, 1]), index="time")
    assert not overlapping.known_divisions
    assert len(overlapping.compute()) == 24
    assert not zolt.dask.read([SAMPLE, SAMPLE], "marker", index="time").known_divisions


def test_damage_warns_and_unreadable_files_raise_when_computed(tmp_path):
    damaged = tmp_path / "damaged.dat"
    damaged.write_bytes(header(4) + marker() + data(1) + b"\xee" + data(2))
    frame = zolt.dask.read([str(damaged), str(tmp_path / "gone.dat")], "data")
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        assert len(frame.partitions[0].compute()) == 2
    assert [type(w.message) for w in caught] == [zolt.DecodeWarning]
    with pytest.raises(FileNotFoundError) as raised:
        zolt.dask.read([str(tmp_path / "gone.dat")]).compute()
    assert raised.value.filename == str(tmp_path / "gone.dat")


def test_the_catalogue_has_a_row_per_file(tmp_path):
    paths = deployment(tmp_path, [0, 10]) + [SAMPLE]
    catalogue = zolt.dask.info(paths)
    assert catalogue["file"].tolist() == paths
    assert catalogue["data"].tolist() == [12, 12, 6000]
    assert catalogue["first_marker"].iloc[2] == pd.Timestamp("2026-12-01T00:00:00Z")
    assert catalogue["problems"].tolist() == [[], [], []]


def test_a_cluster_of_two_worker_processes(tmp_path):
    distributed = pytest.importorskip("distributed")
    paths = deployment(tmp_path, [0, 10, 20]) + [SAMPLE]
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=40) as cluster:
        with distributed.Client(cluster) as client:
            frame = zolt.dask.read(paths, "data")
            total = frame["acc_z"].sum().compute()
            catalogue = zolt.dask.info(paths)
            assert len(client.scheduler_info()["workers"]) == 2
    assert total == zolt.read(paths)["acc_z"].sum()
    assert catalogue["data"].sum() == 6036
