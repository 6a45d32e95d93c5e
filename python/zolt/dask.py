"""A fleet's recordings on Dask: one partition per file, decoded where the
partition is computed, so only file names and small results cross the
network. The same code runs on a laptop's cores or a cluster's workers::

    import zolt.dask
    data = zolt.dask.read("fleet/*/*.dat", "pressure")
    hourly = data.set_index("time").ext_press_bar.resample("1h").max().compute()
"""

from __future__ import annotations

import errno
import glob as globbing
import io
import os
from typing import Any, Iterable

import pandas

from . import TABLES, _column_names, _frame, _listed, _path, _shown, _table, _window, _zolt, info as _info

__all__ = ["FileChangedError", "info", "read"]


class FileChangedError(OSError):
    """A file changed (its size or its modification time) between the
    building of a graph by :func:`read` and the computing of its partition:
    the partition would not be what the graph was planned for."""


NO_FILE_OBJECTS = "file objects are not supported by zolt.dask: pass paths or URLs"


def _one_path(item: Any) -> str:
    """A path or URL as the workers are given it."""
    if hasattr(item, "read") or (hasattr(item, "open") and hasattr(item, "__enter__")):
        raise TypeError(NO_FILE_OBJECTS)
    if not isinstance(item, (str, bytes, os.PathLike)):
        raise TypeError(f"not a path or a URL: {_shown(item)}")
    return os.fsdecode(_path(item))


def _paths(paths: str | os.PathLike | Iterable[Any]) -> list[Any]:
    """The files, in order: a glob pattern, or a list of paths and URLs."""
    if isinstance(paths, (str, bytes, os.PathLike)) or hasattr(paths, "read") or hasattr(paths, "open"):
        pattern = _one_path(paths)
        if "://" in pattern:
            import fsspec

            found = [opened.full_name for opened in fsspec.open_files(pattern, "rb")]
        else:
            found = sorted(globbing.glob(pattern))
            if not found and not globbing.has_magic(pattern):
                found = [pattern]  # a single file, which may not exist: say so when it is read
        if not found:
            raise ValueError(f"no files given: nothing matches {pattern!r}")
        return found
    files = [_one_path(item) for item in _listed(paths)]
    if not files:
        raise ValueError("no files given")
    return files


def _stamp(path: str) -> tuple[Any, ...] | None:
    """What tells that a file changed: its size and modification time."""
    try:
        if "://" in path:
            import fsspec

            fs, inner = fsspec.core.url_to_fs(path)
            details = fs.info(inner)
            return (details.get("size"), str(details.get("mtime", details.get("LastModified", details.get("ETag")))))
        status = os.stat(path)
        return (status.st_size, status.st_mtime_ns)
    except (OSError, ValueError):
        return None  # a file that cannot be looked at says why when it is read


def _unchanged(path: str, stamp: tuple[Any, ...] | None) -> None:
    if stamp is not None and _stamp(path) != stamp:
        raise FileChangedError(errno.ESTALE, "changed after the Dask graph was built: build it again", path)


def _opened(path: Any) -> Any:
    """What zolt reads: a path as it is, a URL through fsspec."""
    if isinstance(path, str) and "://" in path:
        import fsspec

        return fsspec.open(path, "rb")
    return path


# What is known of a file that could not be read: nothing. It is kept, and
# says why when its partition is computed.
UNKNOWN = {"tables": {table: "unknown" for table in TABLES}, "last_rate": None, "uses_carried_rate": False}


def _spans(path: Any, carried_rate: int, salvage: bool = False) -> dict[str, Any]:
    from . import _source, _zolt

    try:
        return _zolt.file_spans(_source(_opened(path)), carried_rate, salvage)
    except OSError:
        return UNKNOWN


def _decoded(path: Any, carried_rate: int, table: str, start: Any, end: Any, index: str | None,
             columns: list[str] | None = None, salvage: bool = False) -> pandas.DataFrame:
    """One file's table; only the columns asked for (and the time, for the
    index) are decoded, and none is copied."""
    wanted = None
    if columns is not None:
        wanted = list(columns)
        if index == "time" and "time" not in wanted:
            wanted.insert(0, "time")
    arrays = _table(_opened(path), table, start, end, nanoseconds=True, columns=wanted, carried_rate=carried_rate,
                    salvage=salvage)
    frame = _frame(arrays)
    if index == "time":
        frame = frame.dropna(subset=["time"]).set_index("time")
    if columns is not None:
        kept = [name for name in columns if name in frame.columns]
        if kept != list(frame.columns):
            frame = frame[kept]
    return frame


def _partition(part: tuple[Any, int, Any], table: str, start: Any, end: Any, index: str | None,
               columns: list[str] | None, salvage: bool) -> pandas.DataFrame:
    path, rate, stamp = part
    _unchanged(path, stamp)
    return _decoded(path, rate, table, start, end, index, columns, salvage)


class _Partitions:
    """Makes each file's partition. Dask asks it for fewer columns when a
    computation needs fewer, and those alone are decoded."""

    def __init__(self, table: str, start: Any, end: Any, index: str | None, columns: list[str] | None = None,
                 salvage: bool = False):
        self.table, self.start, self.end, self.index, self._columns = table, start, end, index, columns
        self.salvage = salvage

    @property
    def columns(self) -> list[str] | None:
        return self._columns

    def project_columns(self, columns: list[str]) -> "_Partitions":
        return _Partitions(self.table, self.start, self.end, self.index, list(columns), self.salvage)

    def __call__(self, part: tuple[Any, int, Any]) -> pandas.DataFrame:
        return _partition(part, self.table, self.start, self.end, self.index, self._columns, self.salvage)


def _empty(table: str, index: str | None) -> pandas.DataFrame:
    return _decoded(io.BytesIO(b""), 0, table, None, None, index)


def _compute(tasks: list[Any]) -> list[Any]:
    import dask

    return list(dask.compute(*tasks))


# Enough of a file's start to find its header before its data.
HEAD = 64 * 1024


def _head(path: Any) -> bytes:
    if isinstance(path, str) and "://" in path:
        import fsspec

        with fsspec.open(path, "rb") as opened:
            return opened.read(HEAD)
    if hasattr(path, "read"):
        return b""  # a file object is read once, where it is decoded
    try:
        with open(path, "rb") as opened:
            return opened.read(HEAD)
    except OSError:
        return b""


def _carries_no_rate(paths: list[Any]) -> bool:
    """Whether every file but the first shows, in its first bytes, a header
    before any timed data: then no file needs a rate from the one before."""
    from . import _zolt

    return all(_zolt.uses_carried_rate(_head(path)) is False for path in paths[1:])


def _plan(paths: list[Any], salvage: bool) -> tuple[list[dict[str, Any]], list[int]]:
    """Each file's spans and the rate it carries in from the files before,
    found in parallel by a pass over each file's record framing."""
    from dask import delayed

    spans = _compute([delayed(_spans)(path, 0, salvage) for path in paths])
    rates, rate = [], 0
    for span in spans:
        rates.append(rate)
        if span["last_rate"] is not None:
            rate = span["last_rate"]
    # Files whose data is timed before their first header, by a rate other
    # than the one assumed, are looked at again with the one carried in.
    again = [i for i, span in enumerate(spans) if span["uses_carried_rate"] and rates[i] != 0]
    if again:
        for i, span in zip(again, _compute([delayed(_spans)(paths[i], rates[i], salvage) for i in again])):
            spans[i] = span
    return spans, rates


def _holds_rows(span: tuple[int, int, bool] | str | None, start_ns: int | None, end_ns: int | None) -> bool:
    """Whether a table's rows in a file may fall in the window [start, end)."""
    if span is None:
        return False  # no row has a time, and a window keeps none without
    if span == "unknown":
        return True
    first, last = span[0] * 1000, span[1] * 1000
    return (start_ns is None or last >= start_ns) and (end_ns is None or first < end_ns)


def _divisions(spans: list[tuple[int, int, bool]]) -> tuple[Any, ...] | None:
    """The partitions' bounds, when each file's times are in order and the
    files follow each other without overlapping."""
    if not spans or any(span == "unknown" or not span[2] for span in spans):
        return None
    if any(spans[i][1] >= spans[i + 1][0] for i in range(len(spans) - 1)):
        return None
    bounds = [span[0] for span in spans] + [spans[-1][1]]
    return tuple(pandas.Timestamp(bound * 1000, tz="UTC") for bound in bounds)


def read(paths: str | os.PathLike | Iterable[Any], table: str = "data", *, start: Any = None, end: Any = None,
         index: str | None = None, columns: Iterable[str] | None = None, salvage: bool = False):
    """One table of many files as a Dask DataFrame, one partition per file.

    ``paths`` is a glob pattern, or a list of paths or of fsspec URLs (each
    worker opens and decodes its own files). Columns, dtypes and values are
    those of ``zolt.read(path, table)`` for each file, with ``start``
    (inclusive) and ``end`` (exclusive) keeping the rows of a time window.

    Each file is decoded on its own, which differs from one run over all of
    them in one thing only: a data record's time uses the rate of the latest
    header in its file, and a file without a header uses the rate of the
    header before it in the list. That rate, and the span of time each file
    covers, are found first by a quick pass over each file's record framing,
    in parallel, when a window or the index asks for the spans or a file
    does not begin with its header; a file that certainly holds no row of
    the window is never decoded. For a deployment whose files each begin with a header, the rows
    are exactly those of ``zolt.read(all_files)``.

    The graph is planned for the files as they are when it is built: each
    file's size and modification time are noted then, and a partition whose
    file has changed since raises :class:`FileChangedError` when it is
    computed, rather than giving rows of another file. Paths are str, bytes
    or os.PathLike; file objects are not supported (a worker opens each
    file itself).

    With ``index="time"`` the time becomes the index, and rows without a
    time (before a file's first second marker) are left out. When no file's
    clock steps back and the files' spans are in order and do not overlap
    (one logger's deployment), the divisions are known, so that
    ``df.loc["2026-12-01":"2026-12-02"]`` decodes only the files it needs;
    otherwise they are unknown.

    ``columns`` keeps only the columns named, as in :func:`zolt.read`; a
    computation that needs fewer has only those decoded in any case.

    ``salvage=True`` reads each file as ``zolt.read(path, salvage=True)``:
    only the records on a damaged file's true framing. Its spans and the
    rate it carries are then those of what salvage keeps, so the plan's pass
    is always made.
    """
    import dask.dataframe as dd

    if index not in (None, "time"):
        raise ValueError(f"index must be None or 'time', not {index!r}")
    meta = _empty(table, index)  # an unknown table is refused here, before anything is read
    if columns is not None:
        meta = _decoded(io.BytesIO(b""), 0, table, None, None, index, _column_names(columns))
    start_ns, end_ns = _window(start, end)
    files = _paths(paths)
    stamps = [_stamp(path) for path in files]
    windowed = start_ns is not None or end_ns is not None
    # A damaged header may be skipped, so a file's first bytes do not tell
    # what salvage keeps.
    if not windowed and index is None and not salvage and _carries_no_rate(files):
        # Nothing to choose, and each file times its data by its own rate.
        chosen, rates = list(range(len(files))), [0] * len(files)
    else:
        spans, rates = _plan(files, bool(salvage))
        chosen = [i for i, span in enumerate(spans)
                  if (not windowed and index is None) or _holds_rows(span["tables"][table], start_ns, end_ns)]
    divisions = None
    if index == "time":
        divisions = _divisions([spans[i]["tables"][table] for i in chosen])
    if not chosen:
        return dd.from_pandas(meta, npartitions=1)
    parts = [(files[i], rates[i], stamps[i]) for i in chosen]
    return dd.from_map(_Partitions(table, start, end, index, list(meta.columns), bool(salvage)), parts,
                       meta=meta, divisions=divisions, label=f"zolt-{table}", enforce_metadata=False)


def _info_row(path: Any) -> dict[str, Any]:
    entry = _info(_opened(path))[0]
    markers = entry["markers"]
    row = {"file": path if isinstance(path, str) else os.fsdecode(os.fspath(path)), "bytes": entry["bytes"],
           "first_marker": pandas.Timestamp(markers["first"]) if markers["first"] else pandas.NaT,
           "last_marker": pandas.Timestamp(markers["last"]) if markers["last"] else pandas.NaT}
    row.update(entry["records"])
    row.update({"unknown_bytes": entry["unknown_bytes"], "truncated_bytes": entry["truncated_bytes"],
                "gaps": markers["gaps"], "missing_s": markers["missing_s"], "steps_back": markers["steps_back"],
                "problems": entry["problems"]})
    return row


def info(paths: str | os.PathLike | Iterable[Any]) -> pandas.DataFrame:
    """The catalogue of a fleet: one row per file, checked in parallel, with
    its name, size, first and last second marker (UTC), the number of each
    record type, the damage and clock gaps found, and the problems as
    ``decode --info`` words them. A file that cannot be read raises its
    OSError.
    """
    from dask import delayed

    rows = _compute([delayed(_info_row)(path) for path in _paths(paths)])
    columns = ["file", "bytes", "first_marker", "last_marker", *TABLES, "unknown_bytes", "truncated_bytes", "gaps",
               "missing_s", "steps_back", "problems"]
    frame = pandas.DataFrame(rows, columns=columns)
    for name in ("first_marker", "last_marker"):
        frame[name] = pandas.to_datetime(frame[name], utc=True)
    return frame
