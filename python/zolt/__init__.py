"""Record files of the ZOLT data logger as pandas, numpy and xarray.

A recording, or a deployment split over many files, in one call::

    import zolt
    data = zolt.read("d0001.dat")                        # inertial samples, a DataFrame
    data.set_index("time")["acc_z"].resample("1s").mean()
    pressure = zolt.read(sorted(glob.glob("dep/*.dat")), "pressure",
                         start="2026-12-01T06:00", end="2026-12-01T07:00")

The tables are those of ``decode --csv``: ``header``, ``marker``, ``data``,
``pressure``, ``index`` and ``system``, with the same columns, the same rows
and, bit for bit, the values their text reads back as. Times are UTC.

Where a call takes ``paths``, it takes one path (str, bytes or os.PathLike),
a binary file object (anything with ``.read()``, or an fsspec OpenFile), or
a list of them. Several form one run, in order, as on the command line: the
rate of the latest file header carries from file to file.

Failures are Python's own: a file that cannot be opened or read raises its
OSError (FileNotFoundError, PermissionError, ...) with ``filename`` set, an
unknown table or a bad time ValueError. Damage in a file (bytes that name no
record type, a last record cut short, stretches that salvage skipped) gives
one :class:`DecodeWarning` for that file, and the rows of its whole records
are returned. ``salvage=True`` keeps only the records on a damaged file's
true framing, as ``decode --salvage`` does. Nothing is
printed. Files are decoded without the GIL, so threads reading different
files run in parallel, and Ctrl-C stops a long read.
"""

from __future__ import annotations

import json
import os
import warnings
from collections.abc import Mapping, Set
from typing import TYPE_CHECKING, Any, Iterable, Iterator, Union

import numpy as np

from . import _zolt

if TYPE_CHECKING:
    import pandas
    import xarray

__all__ = ["ANALYSIS_TABLES", "DecodeWarning", "TABLES", "batches", "info", "open_dataset", "read", "read_arrays",
           "to_html", "to_netcdf"]
__version__: str = _zolt.__version__

#: The tables, by name.
TABLES: tuple[str, ...] = tuple(_zolt.tables)

# The megabytes a page may take when no budget is given, as for decode --html.
_DEFAULT_BUDGET_MB = _zolt.default_html_budget / 1e6

Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


class DecodeWarning(UserWarning):
    """Damage found in a record file: the file, the offset and the count.

    Raised through :func:`warnings.warn` once per damaged file; the rows of
    the file's whole records are still returned. Turn it into an error with
    ``warnings.simplefilter("error", zolt.DecodeWarning)``.
    """


def _shown(item: Any) -> str:
    """An object as a message can show it: its repr, cut short."""
    text = repr(item)
    return text if len(text) <= 80 else text[:77] + "..."


def _position(opened: Any) -> int | None:
    try:
        return opened.tell()
    except (AttributeError, OSError, ValueError):
        return None


def _contents(opened: Any) -> Any:
    """What a file object gives from where it stands, as one contiguous buffer.

    A file object is read once, from where it stands: one already read to
    its end (a second read, or another thread's) raises ValueError rather
    than giving no rows."""
    start = _position(opened)
    data = opened.read()
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError(f"{_shown(opened)} gave {type(data).__name__}, not bytes: open it in binary mode")
    view = memoryview(data)
    if not view.c_contiguous:
        data = view.tobytes()
    if view.nbytes == 0 and start:
        raise ValueError(f"{_shown(opened)} is at its end ({start} bytes in) before anything was read: "
                         "a file object is read once, from where it stands; seek(0) or open it again")
    return data


def _path(item: Any) -> str | bytes:
    name = os.fspath(item)
    if ("\0" if isinstance(name, str) else b"\0") in name:
        raise ValueError("embedded null byte")
    return name


def _source(item: Any) -> tuple[str, Any, Any]:
    """(kind, what to read, name for messages) of one path or file object."""
    if isinstance(item, (str, bytes, os.PathLike)):
        name = _path(item)
        return ("path", os.fsencode(name), name)
    if hasattr(item, "read"):
        return ("bytes", _contents(item), getattr(item, "name", None) or _shown(item))
    if hasattr(item, "open") and hasattr(item, "__enter__"):  # fsspec's OpenFile and the like
        with item as opened:
            return ("bytes", _contents(opened), getattr(item, "full_name", None) or getattr(item, "path", _shown(item)))
    raise TypeError(f"not a path or a binary file object: {_shown(item)}")


def _is_one(paths: Any) -> bool:
    return isinstance(paths, (str, bytes, os.PathLike)) or hasattr(paths, "read") or hasattr(paths, "open")


def _listed(paths: Any) -> list[Any]:
    """The items of a run, in its order; an unordered collection has none."""
    if isinstance(paths, (Set, Mapping)):
        raise TypeError(f"paths is a {type(paths).__name__}, which has no order: pass a list, in the run's order")
    try:
        return list(paths)
    except TypeError:
        raise TypeError(f"paths must be a path, a binary file object or a list of them, not "
                        f"{type(paths).__name__}") from None


def _sources(paths: Any) -> list[tuple[str, Any, Any]]:
    if _is_one(paths):
        return [_source(paths)]
    items = _listed(paths)
    if not items:
        # Most likely a glob that matched nothing: an empty result would hide it.
        raise ValueError("no files given")
    return [_source(item) for item in items]


def _nanoseconds(edge: Any, which: str) -> int | None:
    """A window edge as nanoseconds since 1970 UTC; a naive time is UTC."""
    if edge is None:
        return None
    import pandas

    try:
        stamp = pandas.Timestamp(edge)
    except (TypeError, ValueError) as error:
        raise ValueError(f"{which}={edge!r} is not a time: {error}") from None
    if stamp is pandas.NaT:
        raise ValueError(f"{which}={edge!r} is not a time")
    stamp = stamp.tz_localize("UTC") if stamp.tzinfo is None else stamp.tz_convert("UTC")
    return int(stamp.value)


def _window(start: Any, end: Any) -> tuple[int | None, int | None]:
    window = (_nanoseconds(start, "start"), _nanoseconds(end, "end"))
    if window[0] is not None and window[1] is not None and window[0] >= window[1]:
        raise ValueError(f"start {start!r} is not before end {end!r}")
    return window


def _warn(damages: list[tuple[Any, ...]], sources: list[tuple[str, Any, Any]]) -> None:
    for damage in damages:
        source, notes = damage[0], damage[-1]
        name = os.fsdecode(sources[source][2]) if isinstance(sources[source][2], bytes) else sources[source][2]
        warnings.warn(DecodeWarning(f"{name}: " + "; ".join(notes)), stacklevel=3)


def _column_names(columns: Any) -> list[str] | None:
    """The columns asked for, each once, or None for all of them."""
    if columns is None:
        return None
    if isinstance(columns, (str, bytes)):
        raise TypeError(f"columns must be a list of column names, not one {type(columns).__name__}: "
                        f"columns=[{columns!r}]")
    try:
        names = list(columns)
    except TypeError:
        raise TypeError(f"columns must be a list of column names, not {type(columns).__name__}") from None
    for name in names:
        if not isinstance(name, str):
            raise TypeError(f"a column's name must be a str, not {_shown(name)}")
    twice = sorted({name for name in names if names.count(name) > 1})
    if twice:
        raise ValueError(f"columns names {', '.join(twice)} more than once")
    return names


def _chosen(available: list[str], columns: Any) -> list[str]:
    """The columns asked for, checked against a table's."""
    names = _column_names(columns) or []
    unknown = [name for name in names if name not in available]
    if unknown:
        raise ValueError(f"no column {', '.join(unknown)} in this table; its columns are {', '.join(available)}")
    return names


def _rows(paths: Any, table: str, start: Any, end: Any, nanoseconds: bool, columns: list[str] | None = None,
          carried_rate: int = 0, salvage: bool = False) -> tuple[dict[str, np.ndarray], int, dict[str, Any]]:
    """The chosen columns of a table, its number of rows (which no column
    tells when none is chosen) and what describes them."""
    start_ns, end_ns = _window(start, end)
    columns = _column_names(columns)
    sources = _sources(paths)
    arrays, damages, rows = _zolt.read_table(sources, table, start_ns, end_ns, nanoseconds, columns, carried_rate,
                                             bool(salvage))
    _warn(damages, sources)
    # In the order asked for, as pandas gives columns it is asked for.
    arrays = arrays if columns is None else {name: arrays[name] for name in columns}
    return arrays, rows, _described(table, arrays, sources)


def _table(paths: Any, table: str, start: Any, end: Any, nanoseconds: bool,
           columns: list[str] | None = None, carried_rate: int = 0, salvage: bool = False) -> dict[str, np.ndarray]:
    return _rows(paths, table, start, end, nanoseconds, columns, carried_rate, salvage)[0]


def _described(table: str, columns: Iterable[str], sources: list[tuple[str, Any, Any]]) -> dict[str, Any]:
    """What a frame or Dataset tells of itself: its table, the files it was
    read from, the decoder, and each column's units and long name as the
    netCDF file has them."""
    from ._dataset import _names

    known = {name: (long_name, units) for name, _, _, _, _, long_name, units in _zolt.table_columns(table)}
    columns = [name for name in columns if name in known]
    return {"table": table, "input_files": _names(sources), "decoder_version": f"zolt {__version__}",
            "long_name": {name: known[name][0] for name in columns if known[name][0]},
            "units": {name: known[name][1] for name in columns if known[name][1]}}


def _frame(arrays: dict[str, np.ndarray], rows: int | None = None,
           attrs: dict[str, Any] | None = None) -> "pandas.DataFrame":
    """The arrays as a DataFrame of their own memory: no copy."""
    import pandas

    if "time" in arrays:
        times = pandas.arrays.DatetimeArray(arrays["time"], dtype=pandas.DatetimeTZDtype(tz="UTC"), copy=False)
        arrays = {**arrays, "time": times}
    index = pandas.RangeIndex(rows) if rows is not None and not arrays else None
    frame = pandas.DataFrame(arrays, index=index, copy=False)
    if attrs is not None:
        frame.attrs = attrs
    return frame


_AGGREGATES = ("mean", "min", "max")


def _interval_micros(every: Any) -> int:
    """``every`` as microseconds: "1s", "250ms" (as ``decode --every``), or a
    timedelta (pandas' Timedelta too) of a whole number of milliseconds."""
    import datetime

    if isinstance(every, datetime.timedelta):
        micros = (every.days * 86400 + every.seconds) * 1_000_000 + every.microseconds
        if micros > 0 and micros % 1000 == 0 and getattr(every, "nanoseconds", 0) == 0:
            return micros
    elif isinstance(every, str):
        micros = _zolt.interval_micros(every)
        if micros is not None:
            return micros
    raise ValueError(f"every={every!r} is not a whole, positive number of seconds or milliseconds, "
                     "such as \"1s\" or \"250ms\"")


def _aggregates(agg: Any) -> tuple[bool, bool, bool]:
    """(mean, min, max): which figures each interval gives."""
    names = [agg] if isinstance(agg, str) else list(agg)
    unknown = [name for name in names if name not in _AGGREGATES]
    if unknown or not names or len(set(names)) != len(names):
        raise ValueError(f"agg={agg!r}: give any of {', '.join(_AGGREGATES)}, each at most once")
    return ("mean" in names, "min" in names, "max" in names)


def _averages(paths: Any, table: str, start: Any, end: Any, nanoseconds: bool, every: Any, agg: Any, fill: bool,
              salvage: bool) -> tuple[dict[str, np.ndarray], int, dict[str, Any]]:
    """A record table's interval averages, as ``decode --csv --every`` prints
    them, and what describes them."""
    micros = _interval_micros(every)
    mean, least, greatest = _aggregates(agg)
    start_ns, end_ns = _window(start, end)
    sources = _sources(paths)
    arrays, damages, rows = _zolt.read_averages(sources, table, start_ns, end_ns, nanoseconds, micros, mean, least,
                                                greatest, bool(fill), bool(salvage))
    _warn(damages, sources)
    attrs = _described(table, arrays, sources)
    for name, units in list(attrs["units"].items()):
        for suffix in ("_min", "_max"):
            if name + suffix in arrays:
                attrs["units"][name + suffix] = units
    attrs["every"] = every if isinstance(every, str) else f"{micros // 1000}ms"
    return arrays, rows, attrs


def _picked(arrays: dict[str, np.ndarray], columns: Any) -> dict[str, np.ndarray]:
    return arrays if columns is None else {name: arrays[name] for name in _chosen(list(arrays), columns)}


def read_arrays(paths: Path | Any | Iterable[Path | Any], table: str = "data", *, start: Any = None,
                end: Any = None, columns: Iterable[str] | None = None, salvage: bool = False,
                every: Any = None, agg: Any = ("mean",), fill: bool = False, latitude: Any = None,
                water: str | None = None, surface: Any = None, dive_depth: Any = None, surface_depth: Any = None,
                min_dive: Any = None, bottom_fraction: Any = None,
                activity_window: Any = None) -> dict[str, np.ndarray]:
    """One table as numpy arrays, by column name in the CSV table's order.

    ``time`` is ``datetime64[us]``, NaT for a record before its file's first
    second marker; integer columns are int64, real ones float64, the index
    table's ``file`` an object array of str. The arrays are made without a
    copy: each owns the memory the decoder filled. ``start`` (inclusive)
    and ``end`` (exclusive) keep the rows within a time window, as
    ``decode --from``/``--to`` do; they are anything pandas turns into a
    Timestamp, a naive one being UTC. ``salvage=True`` keeps only the
    records on a damaged file's true framing, as ``decode --salvage``.
    ``columns`` picks columns as in :func:`read`; ``every``, ``agg`` and
    ``fill`` give a record table's averages as there, ``time`` the start of
    each interval.

    The analysis's tables (:data:`ANALYSIS_TABLES`) and their keyword
    parameters are those of :func:`read`; their times are
    ``datetime64[us]`` here too.
    """
    parameters = _analysis_parameters(table, latitude=latitude, water=water, surface=surface, dive_depth=dive_depth,
                                      surface_depth=surface_depth, min_dive=min_dive,
                                      bottom_fraction=bottom_fraction, activity_window=activity_window)
    if table in ANALYSIS_TABLES:
        frame = _analysis_frame(paths, table, start, end, salvage, parameters, every, agg, fill)
        frame = frame if columns is None else frame[_chosen(list(frame.columns), columns)]
        times = _ANALYSIS_TIMES[table] if every is None else ["time"]
        return {name: (frame[name].dt.tz_localize(None).to_numpy("datetime64[us]")
                       if name in times else frame[name].to_numpy()) for name in frame.columns}
    if every is not None:
        arrays = _averages(paths, table, start, end, False, every, agg, fill, salvage)[0]
        return _picked(arrays, columns)
    return _table(paths, table, start, end, nanoseconds=False, columns=columns, salvage=salvage)


def read(paths: Path | Any | Iterable[Path | Any], table: str = "data", *, start: Any = None,
         end: Any = None, columns: Iterable[str] | None = None, salvage: bool = False,
         every: Any = None, agg: Any = ("mean",), fill: bool = False, latitude: Any = None,
         water: str | None = None, surface: Any = None, dive_depth: Any = None, surface_depth: Any = None,
         min_dive: Any = None, bottom_fraction: Any = None, activity_window: Any = None) -> "pandas.DataFrame":
    """One table as a pandas DataFrame: the columns of ``decode --csv=TABLE``.

    ``time`` is ``datetime64[ns, UTC]``, NaT where the CSV table leaves it
    empty; integer columns are int64 and every real value a float64 equal,
    bit for bit, to what the CSV text reads back as. ``start`` (inclusive)
    and ``end`` (exclusive) keep the rows within a time window, as
    ``decode --from``/``--to`` do; they are anything pandas turns into a
    Timestamp, a naive one being UTC. The columns are the decoder's own
    arrays, not copies.

    ``columns`` (a list of names) keeps only those columns, in that order,
    and only they are decoded, so time and memory go with the columns asked
    for: ``columns=["time", "acc_z"]``; ``columns=[]`` counts the rows. Besides the CSV table's columns, the
    raw counts behind its values may be asked for (``acc_z_counts``). A name
    the table lacks raises ValueError, which lists the table's columns.

    The frame's ``attrs`` tell what it holds: ``table``, ``input_files``,
    ``decoder_version``, and per column the ``units`` and ``long_name`` the
    netCDF file gives it (``frame.attrs["units"]["ext_press_bar"]`` is
    "bar"); a column without units (a count, an acceleration in the
    logger's own unit) has none there.

    ``salvage=True`` reads a damaged file as ``decode --salvage`` does: only
    the records that sit on the file's true framing, which is found again
    after the damage; each stretch it skips is named in the file's
    :class:`DecodeWarning`.

    ``"depth"``, ``"dives"`` and ``"activity"`` (:data:`ANALYSIS_TABLES`) are
    the tables made from the analysis of the files as one deployment: the
    columns of ``decode --csv=dives`` and the others, their times
    ``datetime64[ns, UTC]``. Their parameters are keyword arguments, each
    the command line's option of the same name (``man decode``, ANALYSIS)
    and held to the same bounds, a value out of them raising ValueError
    with the command line's words; a number or its text, ``None`` for the
    default: ``latitude`` (degrees north; 45 when not given), ``water``
    (``"sea"``, by TEOS-10, or ``"fresh"``), ``surface`` (a fixed surface
    pressure, bar, instead of the estimate), ``dive_depth`` and
    ``surface_depth`` (m), ``min_dive`` (s), ``bottom_fraction`` and
    ``activity_window`` (s). The other tables refuse them. The frame's
    ``attrs`` then say how it was made besides the units of its columns:
    the depth's method, the water, the latitude and ``latitude_source``
    ("given" or "default"), the surface pressure's method and window (or
    the pressure given), the dives' thresholds and the activity window.

    ``every="1s"`` (any whole number of seconds or milliseconds: ``"250ms"``,
    ``"10s"``, or a timedelta of whole milliseconds) gives the table's
    averages instead of its rows, as ``decode --csv=TABLE --every=1s`` prints
    them and to the same bit, made in the same pass as the decode: one row
    per interval, the intervals aligned to whole multiples of ``every``
    since 1970 UTC, ``time`` the start of each, ``count`` its records, and
    for each real column of the table its mean under its own name (summed in
    the records' order). ``agg=("mean", "min", "max")`` adds ``acc_x_min``
    and ``acc_x_max`` beside ``acc_x``, and so on. Integer columns (``id``,
    ``ver``, ``rate``, ``sample``, raw counts) and text are left out, and so
    are records without a time. Intervals without records are left out, or
    with ``fill=True`` given as rows of count 0 and NaN. ``start``, ``end``
    and ``salvage`` choose the records as for the rows; ``columns`` picks
    among the averaged columns. The ``depth`` and ``activity`` tables take
    ``every`` too, ``dives`` does not.
    """
    parameters = _analysis_parameters(table, latitude=latitude, water=water, surface=surface, dive_depth=dive_depth,
                                      surface_depth=surface_depth, min_dive=min_dive,
                                      bottom_fraction=bottom_fraction, activity_window=activity_window)
    if table in ANALYSIS_TABLES:
        frame = _analysis_frame(paths, table, start, end, salvage, parameters, every, agg, fill)
        return frame if columns is None else frame[_chosen(list(frame.columns), columns)]
    if every is not None:
        arrays, rows, attrs = _averages(paths, table, start, end, True, every, agg, fill, salvage)
        return _frame(_picked(arrays, columns), rows, attrs)
    return _frame(*_rows(paths, table, start, end, nanoseconds=True, columns=columns, salvage=salvage))


# The tables made from the analysis of the files as one deployment, as
# ``decode --csv=depth``, ``dives`` and ``activity`` give them, with the
# decoder's default parameters; ``man decode`` describes them under ANALYSIS.
ANALYSIS_TABLES = ("depth", "dives", "activity")
_ANALYSIS_TIMES = {"depth": ["time"], "dives": ["start", "end", "max_depth_time"], "activity": ["time"]}


def _parameter_text(value: Any) -> str:
    """A parameter as the command line would have it typed: the library
    reads and checks it as it does an option's value."""
    if isinstance(value, (bool, np.bool_)):
        return str(value)  # not a number, and refused as one
    if isinstance(value, (int, np.integer)):
        return str(int(value))
    if isinstance(value, (float, np.floating)):
        return repr(float(value))
    return str(value)


def _analysis_parameters(table: str, **given: Any) -> dict[str, str]:
    """The analysis's parameters that were given, as text; ValueError for a
    table that is not made from the analysis, as on the command line."""
    parameters = {name: _parameter_text(value) for name, value in given.items() if value is not None}
    if parameters and table not in ANALYSIS_TABLES:
        first = next(name for name in _zolt.analysis_keywords() if name in parameters)
        raise ValueError(f"{first} applies to the tables made from the analysis, not to the table '{table}'")
    return parameters


def _analysis_frame(paths: Any, table: str, start: Any, end: Any, salvage: bool, parameters: dict[str, str],
                    every: Any = None, agg: Any = ("mean",), fill: bool = False) -> "pandas.DataFrame":
    import io

    import pandas

    micros = 0 if every is None else _interval_micros(every)
    mean, least, greatest = _aggregates(agg)
    start_ns, end_ns = _window(start, end)
    sources = _sources(paths)
    text, damages, attrs = _zolt.read_analysis_table(sources, table, start_ns, end_ns, bool(salvage), parameters,
                                                     micros, mean, least, greatest, bool(fill))
    _warn(damages, sources)
    frame = pandas.read_csv(io.BytesIO(text), float_precision="round_trip")
    for column in _ANALYSIS_TIMES[table]:
        frame[column] = pandas.to_datetime(frame[column], utc=True)
    from ._dataset import _names

    frame.attrs = {"table": table, "input_files": _names(sources), "decoder_version": f"zolt {__version__}", **attrs}
    return frame
def batches(paths: Path | Any | Iterable[Path | Any], table: str = "data", *, rows: int = 1_000_000,
            start: Any = None, end: Any = None, columns: Iterable[str] | None = None,
            salvage: bool = False) -> Iterator["pandas.DataFrame"]:
    """One table as DataFrames of at most ``rows`` rows each, in order: put
    end to end (``pandas.concat(..., ignore_index=True)``) they are, bit for
    bit, what :func:`read` gives with the same arguments. Memory holds a few
    batches however long the run, as the files are read while the batches
    are used, on a thread of the decoder's own; a batch's edge falls
    wherever its rows do, inside a file or between files. Each batch's index
    counts from 0.

    ``start``, ``end``, ``columns`` and ``salvage`` are those of
    :func:`read`. A file's damage is warned once it has been read; a file
    that cannot be read raises its OSError after the rows before it. Leaving
    the loop early (or ``close()``) stops the reading.
    """
    if isinstance(rows, bool) or not isinstance(rows, int) or rows < 1:
        raise ValueError(f"rows must be a whole number of rows of at least 1, not {rows!r}")
    start_ns, end_ns = _window(start, end)
    names = _column_names(columns)
    sources = _sources(paths)
    reader = _zolt.BatchReader(sources, table, start_ns, end_ns, True, names, rows, bool(salvage))
    return _batches(reader, table, sources, names)


def _batches(reader: Any, table: str, sources: list[tuple[str, Any, Any]],
             names: list[str] | None) -> Iterator["pandas.DataFrame"]:
    try:
        while True:
            batch = reader.next()
            _warn(reader.damages(batch is None), sources)
            if batch is None:
                reader.raise_failure()
                return
            arrays, count = batch
            arrays = arrays if names is None else {name: arrays[name] for name in names}
            yield _frame(arrays, count, _described(table, arrays, sources))
    finally:
        reader.close()


def info(paths: Path | Any | Iterable[Path | Any], *, salvage: bool = False) -> list[dict[str, Any]]:
    """The deployment check of ``decode --info=json``: one dict per file and,
    with several files, one more for the run as one deployment, whose
    ``file`` is None. ``man decode`` describes every key. Its ``suspect``
    and ``salvage_records`` tell whether ``salvage=True`` would help; with
    it, the check is of what salvage keeps.
    """
    sources = _sources(paths)
    names = [os.fsencode(name) if isinstance(name, (str, bytes)) else os.fsencode(str(name)) for _, _, name in sources]
    return [json.loads(line) for line in _zolt.info_lines(sources, names, bool(salvage))]


def open_dataset(paths: Path | Any | Iterable[Path | Any], table: str = "data", *, start: Any = None,
                 end: Any = None, columns: Iterable[str] | None = None, salvage: bool = False) -> "xarray.Dataset":
    """One table as an xarray Dataset, laid out as the group of that table
    in the file of :func:`to_netcdf` (and ``decode --netcdf``): the same
    variables, attributes and values as ``xarray.open_dataset(file,
    group=table)``, made in memory. ``start`` and ``end`` window the rows as
    in :func:`read`, and ``salvage`` reads as there. xarray's engine "zolt"
    gives the same: ``xarray.open_dataset(path, engine="zolt", group="data")``.
    ``columns`` keeps only the variables named (and ``time``), and decodes
    only those.

    Where the times increase from row to row, ``time`` is the dimension
    coordinate, so ``sel(time=...)`` and ``resample`` work; where they do
    not (a clock that stepped back, rows without a time) the dimension is
    ``obs``, as in the file, and ``Dataset.attrs["time_order"]`` says why.
    """
    from ._dataset import dataset

    return dataset(paths, table, start, end, salvage, _column_names(columns))


def to_netcdf(paths: Path | Any | Iterable[Path | Any], out: Path, *, start: Any = None, end: Any = None,
              meta: dict[str, Any] | None = None, salvage: bool = False) -> None:
    """Writes a run into one compressed netCDF-4 file following the CF
    conventions, as ``decode --netcdf`` does: one group per table, each with
    a dimension ``obs``, ``time(obs)`` and one variable per column of the
    CSV table. ``meta`` adds or replaces global attributes (str or number
    values: title, institution, project, creator_name, ...). The file is
    written whole or not at all, and not at all when a file cannot be read.
    ``salvage`` reads as in :func:`read`; the stretches it skips are named in
    the file's ``comment``.
    """
    from ._dataset import to_netcdf as write

    write(paths, out, start=start, end=end, meta=meta, salvage=salvage)


def to_html(paths: Path | Any | Iterable[Path | Any], out: Path, *, start: Any = None, end: Any = None,
            salvage: bool = False, budget_mb: float = _DEFAULT_BUDGET_MB) -> None:
    """Writes a run as one interactive page, as ``decode --html`` does: the
    panels of ``decode --plot`` on one UTC time axis, to zoom from the whole
    run down to single samples in any browser, offline. The page holds every
    sample when they fit within ``budget_mb`` megabytes, else the least and
    greatest value of each channel in buckets of a length it states. It is
    written whole or not at all; ``start``, ``end`` and ``salvage`` read as
    in :func:`read`.
    """
    from ._dataset import _names

    start_ns, end_ns = _window(start, end)
    if not isinstance(budget_mb, (int, float)) or isinstance(budget_mb, bool) or not 1 <= budget_mb <= 100000:
        raise ValueError(f"budget_mb must be a number of megabytes from 1 to 100000, not {budget_mb!r}")
    target = os.fsdecode(_path(out))
    sources = _sources(paths)
    damages = _zolt.write_html(sources, _names(sources), target, start_ns, end_ns, int(budget_mb * 1e6), bool(salvage))
    _warn(damages, sources)


def _tables_described() -> str:
    """Each table's columns with their units, as the catalogue has them, for
    the docstrings: the catalogue is the one place they are written."""
    lines = ["", "The tables, with their columns and units (counts behind the values, as acc_z_counts, may be",
             "asked for too)::", ""]
    for table in TABLES:
        columns = [f"{name} [{units}]" if units else name
                   for name, _, csv, _, _, _, units in _zolt.table_columns(table) if csv]
        lines.append(f"    {table}: " + ", ".join(columns))
    return "\n    ".join(lines) + "\n"


read.__doc__ = (read.__doc__ or "") + _tables_described()
__doc__ = (__doc__ or "") + _tables_described().replace("\n    ", "\n")


def __dir__() -> list[str]:
    # The package's own names, not those it imports to work with.
    return sorted({*__all__, *(name for name in globals() if name.startswith("__"))})
