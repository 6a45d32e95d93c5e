"""What a hostile caller tries: arguments of every wrong kind, file objects
that give odd buffers or nothing, names that are not text, attributes that
netCDF would refuse late, files that change under a graph, and a full disk."""

import io
import os
import subprocess
import sys
import textwrap
import threading

import numpy as np
import pandas as pd
import pytest
import xarray as xr

import zolt
import zolt.dask
from conftest import BASE, SAMPLE, csv_table, index, marker, pressure

SAMPLE_BYTES = open(SAMPLE, "rb").read()


@pytest.mark.parametrize("paths,error,says", [
    (SAMPLE + "\0junk", ValueError, "embedded null byte"),
    (os.fsencode(SAMPLE) + b"\0junk", ValueError, "embedded null byte"),
    ([SAMPLE, "x\0y"], ValueError, "embedded null byte"),
    ({SAMPLE}, TypeError, "has no order"),
    ({SAMPLE: 1}, TypeError, "has no order"),
    (None, TypeError, "not NoneType"),
    (5, TypeError, "not int"),
    ([], ValueError, "no files given"),  # a glob that matched nothing
])
def test_path_arguments_that_are_refused(paths, error, says):
    for call in (zolt.read, zolt.read_arrays, zolt.info, zolt.open_dataset):
        with pytest.raises(error, match=says):
            call(paths)


@pytest.mark.parametrize("paths,error,says", [
    (io.BytesIO(SAMPLE_BYTES), TypeError, "file objects are not supported by zolt.dask"),
    ([SAMPLE, io.BytesIO(SAMPLE_BYTES)], TypeError, "file objects are not supported by zolt.dask"),
    ({SAMPLE}, TypeError, "has no order"),
    (None, TypeError, "not NoneType"),
    (SAMPLE + "\0", ValueError, "embedded null byte"),
    ([], ValueError, "no files given"),
    (os.path.join(os.path.dirname(SAMPLE), "no-such-*.dat"), ValueError, "no files given: nothing matches"),
])
def test_dask_arguments_that_are_refused(paths, error, says):
    for call in (zolt.dask.read, zolt.dask.info):
        with pytest.raises(error, match=says) as raised:
            call(paths)
        assert len(str(raised.value)) < 200


def test_a_bytes_path_is_a_path_for_dask_too():
    assert len(zolt.dask.read(os.fsencode(SAMPLE)).compute(scheduler="threads")) == 6000


def test_no_writer_replaces_a_recording(tmp_path):
    # A whole recording, and one cut in two inside a record: its second part.
    for recording in (SAMPLE_BYTES, SAMPLE_BYTES[5000:]):
        for write in (zolt.to_netcdf, zolt.to_html):
            target = tmp_path / "d0002.dat"
            target.write_bytes(recording)
            with pytest.raises(FileExistsError, match="holds records of this logger") as raised:
                write(SAMPLE, target)
            assert raised.value.filename == str(target)
            assert target.read_bytes() == recording
    with pytest.raises(ValueError, match="no files given"):
        zolt.to_html([], tmp_path / "page.html")
    assert not (tmp_path / "page.html").exists()


class Giving:
    """A file object whose read() gives what it is told to."""

    def __init__(self, value):
        self.value = value

    def read(self):
        return self.value


def test_a_buffer_with_gaps_is_read_as_its_own_bytes():
    strided = memoryview(SAMPLE_BYTES + SAMPLE_BYTES)[::2]
    expected = zolt.read_arrays(io.BytesIO(strided.tobytes()), "pressure")
    got = zolt.read_arrays(Giving(strided), "pressure")
    assert all(np.array_equal(got[name], expected[name]) for name in expected)


def test_a_file_object_at_its_end_is_refused_not_empty():
    opened = io.BytesIO(SAMPLE_BYTES)
    assert len(zolt.read(opened)) == 6000
    with pytest.raises(ValueError, match="at its end"):
        zolt.read(opened)
    assert len(zolt.read(io.BytesIO(b""))) == 0  # an empty file is no error

    shared = io.BytesIO(SAMPLE_BYTES)
    outcomes = []

    def reader():
        try:
            outcomes.append(len(zolt.read(shared, "pressure")))
        except ValueError:
            outcomes.append("refused")

    threads = [threading.Thread(target=reader) for _ in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert sorted(outcomes, key=str) == [60] + ["refused"] * 7


@pytest.mark.parametrize("meta,error,says", [
    ({"title\0junk": "X"}, ValueError, "embedded null byte"),
    ({"_NCProperties": "x"}, ValueError, "netCDF keeps it for itself"),
    ({"a" * 300: 1}, ValueError, "'" + "a" * 60 + r"\.\.\.' cannot name"),
    ({"title": "bad \udc80 text"}, ValueError, "not text that UTF-8 can hold"),
    ({"bad \udc80": 1}, ValueError, "not text that UTF-8 can hold"),
    ({"depth": None}, TypeError, "must be a str or a number"),
    ({"flag": np.bool_(True)}, TypeError, "must be a str or a number"),
    ({f"k{i}": i for i in range(1001)}, ValueError, "more than 1000 attributes"),
    ([("title", "x")], TypeError, "must be a dict"),
])
def test_attributes_netcdf_would_refuse_are_refused_first(tmp_path, meta, error, says):
    with pytest.raises(error, match=says):
        zolt.to_netcdf(SAMPLE, tmp_path / "out.nc", meta=meta)
    assert list(tmp_path.iterdir()) == []


def test_numpy_numbers_are_numbers(tmp_path):
    out = tmp_path / "out.nc"
    zolt.to_netcdf(SAMPLE, out, meta={"depth": np.int64(5), "latitude": np.float32(-33.5)})
    with xr.open_dataset(out) as dataset:
        assert dataset.attrs["depth"] == 5 and dataset.attrs["latitude"] == -33.5


NAMES = [b"caf\xc3\xa9.dat", b"tab\there", b"new\nline", b"back\\slash", b"bad\xff\xc3", b"", b"\xc2\x85c1", b"lit\\xFF"]


def escaped(raw):
    """The one rule for a name's text: printable UTF-8 kept, a backslash
    doubled, every other byte as \\xHH."""
    out, at = "", 0
    while at < len(raw):
        for length in (4, 3, 2, 1):
            try:
                text = raw[at:at + length].decode("utf-8")
            except UnicodeDecodeError:
                continue
            if len(text) == 1 and text.isprintable() and text != "\\":
                out, at = out + text, at + length
                break
        else:
            out, at = out + ("\\\\" if raw[at] == 0x5C else f"\\x{raw[at]:02X}"), at + 1
    return out


def test_an_index_name_is_the_same_text_in_every_front_end(tmp_path, decode):
    path = tmp_path / "names.dat"
    path.write_bytes(b"".join(index(name) for name in NAMES))
    expected = [escaped(name) for name in NAMES]
    text, _ = csv_table(decode, [str(path)], "index")
    from_csv = pd.read_csv(io.BytesIO(text), keep_default_na=False, dtype=str)["file"].tolist()
    out = tmp_path / "names.nc"
    zolt.to_netcdf(str(path), out)
    with xr.open_dataset(out, group="index") as written:
        in_file = written["file"].values.tolist()
    assert from_csv == expected
    assert zolt.read(str(path), "index")["file"].tolist() == expected
    assert zolt.open_dataset(str(path), "index")["file"].values.tolist() == expected
    assert in_file == expected


def test_a_run_without_a_header_still_names_its_source(tmp_path):
    path = tmp_path / "headless.dat"
    path.write_bytes(marker() + pressure())
    out = tmp_path / "out.nc"
    zolt.to_netcdf(str(path), out)
    with xr.open_dataset(out) as dataset:
        assert dataset.attrs["source"] == "ZOLT data logger, no file header record found"


def test_a_file_changed_after_the_graph_was_built_is_told(tmp_path):
    path = tmp_path / "changing.dat"
    path.write_bytes(SAMPLE_BYTES)
    frame = zolt.dask.read([str(path)], "pressure", index="time")
    path.write_bytes(SAMPLE_BYTES[:50000])
    with pytest.raises(zolt.dask.FileChangedError, match="changed after the Dask graph was built") as raised:
        frame.compute(scheduler="threads")
    assert raised.value.filename == str(path)


def test_a_full_disk_raises_and_leaves_the_interpreter_whole(tmp_path, make_sample):
    small = tmp_path / "small"
    small.mkdir()
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", str(small)], capture_output=True).returncode:
        pytest.skip("cannot mount a small file system here (needs root)")
    try:
        hour = tmp_path / "hour.dat"
        subprocess.run([make_sample, str(hour), "3600"], check=True)
        script = textwrap.dedent(f"""
            import errno, zolt
            for attempt in (1, 2):
                try:
                    zolt.to_netcdf({str(hour)!r}, {str(small / "a.nc")!r})
                except OSError as error:
                    print(attempt, error.errno == errno.ENOSPC, error.strerror, end="; ")
        """)
        done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=os.environ)
        assert done.returncode == 0, done.stderr
        assert done.stdout == "1 True No space left on device; 2 True No space left on device; "
        assert os.listdir(small) == []
    finally:
        subprocess.run(["umount", str(small)], check=False)
