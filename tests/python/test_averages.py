"""Averages on read: decode --csv --every and zolt.read(every=) give the
same figures to the bit, and they are the means, least and greatest values
of the plain table's rows over the same intervals, summed in the same order."""

import subprocess
import warnings

import numpy as np
import pandas as pd
import pytest

import zolt
from test_tables import runs

NAT = np.iinfo(np.int64).min
EVERY = {"1s": 1_000_000, "250ms": 250_000}


def cli_figures(decode, paths, table, every, fill, *extra):
    """The program's averages: header names, then rows of (time text, count, floats)."""
    args = [decode, f"--csv={table}", f"--every={every}", "--agg=mean,min,max", *(["--fill"] if fill else []), *extra,
            *paths]
    lines = subprocess.run(args, capture_output=True, check=False).stdout.decode().splitlines()
    rows = [line.split(",") for line in lines[1:]]
    return lines[0].split(","), [(row[0], int(row[1]), [float(v) if v else np.nan for v in row[2:]]) for row in rows]


def intervals_of(times, values, every, fill):
    """(start, count, [mean, min, max per column]) of the rows' intervals, in
    the rows' order: a clock set back opens an interval of its own."""
    kept = times != NAT
    times, values = times[kept], [column[kept] for column in values]
    numbers = times // every
    if len(numbers) == 0:
        return []
    result = []
    begin = 0
    for end in [*np.flatnonzero(np.diff(numbers) != 0) + 1, len(numbers)]:
        if result and fill:
            for empty in range(result[-1][0] // every + 1, numbers[begin]):
                result.append((empty * every, 0, [np.nan] * (3 * len(values))))
        figures = []
        for column in values:
            total = 0.0
            for value in column[begin:end].tolist():  # in order, as the decoder sums
                total += value
            part = column[begin:end]
            figures += [total / (end - begin), part.min(), part.max()]
        result.append((int(numbers[begin]) * every, end - begin, figures))
        begin = end
    return result


def same_bits(a, b):
    return np.array_equal(np.asarray(a, np.float64).view(np.int64), np.asarray(b, np.float64).view(np.int64))


@pytest.mark.parametrize("fill", [False, True])
def test_cli_and_read_agree_and_are_the_rows_averages(tmp_path, decode, make_sample, fill):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", zolt.DecodeWarning)
        for what, paths in runs(tmp_path, make_sample).items():
            for table in zolt.TABLES:
                for every, micros in EVERY.items():
                    where = (what, table, every)
                    names, cli = cli_figures(decode, paths, table, every, fill)
                    frame = zolt.read(paths, table, every=every, agg=("mean", "min", "max"), fill=fill)
                    assert list(frame.columns) == names, where
                    assert len(frame) == len(cli), where
                    assert [text for text, _, _ in cli] == [
                        np.datetime_as_string(t, unit="ms") + "Z" for t in frame["time"].to_numpy("datetime64[ns]")]
                    assert [count for _, count, _ in cli] == frame["count"].tolist(), where
                    assert same_bits([f for _, _, figures in cli for f in figures],
                                     frame[names[2:]].to_numpy().ravel()), where
                    plain = zolt.read_arrays(paths, table)
                    columns = names[2::3]
                    expected = intervals_of(plain["time"].view(np.int64), [plain[name] for name in columns], micros,
                                            fill)
                    assert [start * 1000 for start, _, _ in expected] == frame["time"].astype("int64").tolist(), where
                    assert [count for _, count, _ in expected] == frame["count"].tolist(), where
                    assert same_bits([f for _, _, figures in expected for f in figures],
                                     frame[names[2:]].to_numpy().ravel()), where


def test_window_salvage_and_derived_tables_agree(tmp_path, decode, make_sample):
    deployment = str(tmp_path / "deployment.dat")
    subprocess.run([make_sample, deployment, "600", "deployment"], check=True)
    window = ("2026-12-01T00:01:00.5", "2026-12-01T00:03:00")
    for table, extra, keywords in [
            ("data", ["--from=" + window[0], "--to=" + window[1]], {"start": window[0], "end": window[1]}),
            ("pressure", ["--salvage"], {"salvage": True}),
            ("depth", [], {}), ("activity", ["--from=" + window[0]], {"start": window[0]})]:
        names, cli = cli_figures(decode, [deployment], table, "10s", False, *extra)
        frame = zolt.read(deployment, table, every="10s", agg=["min", "max", "mean"], **keywords)
        assert list(frame.columns) == names and len(frame) == len(cli) > 0, table
        assert same_bits([f for _, _, figures in cli for f in figures], frame[names[2:]].to_numpy().ravel()), table
    # Against pandas' own means of the plain table: the sums differ only in their order.
    plain = zolt.read(deployment, "data").set_index("time")
    theirs = plain[["acc_x", "acc_z", "quat_0"]].resample("1s").mean()
    ours = zolt.read(deployment, "data", every="1s").set_index("time")[["acc_x", "acc_z", "quat_0"]]
    assert ours.index.equals(theirs.index)
    np.testing.assert_allclose(ours.to_numpy(), theirs.to_numpy(), rtol=1e-12, atol=1e-15)


@pytest.mark.parametrize("keywords, message", [
    ({"every": "1.5ms"}, "every='1.5ms' is not a whole"),
    ({"every": "0s"}, "every='0s' is not a whole"),
    ({"every": 1}, "every=1 is not a whole"),
    ({"every": pd.Timedelta("1500us")}, "is not a whole"),
    ({"every": "1s", "agg": ("mean", "median")}, "agg=('mean', 'median')"),
    ({"every": "1s", "agg": ()}, "agg=()"),
])
def test_bad_averages_are_refused(keywords, message):
    from conftest import SAMPLE

    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(")", r"\)")):
        zolt.read(SAMPLE, "data", **keywords)
    with pytest.raises(ValueError, match="dives table has no averages"):
        zolt.read(SAMPLE, "dives", every="1s")
