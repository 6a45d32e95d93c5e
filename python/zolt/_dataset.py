"""A table as an xarray Dataset, and a run as a netCDF file: both laid out
by the library's netCDF layout, and the Dataset decoded by xarray as it
decodes the file, so that a Dataset made in memory is what xarray reads
from the file."""

from __future__ import annotations

import numbers
import os
from collections.abc import Mapping
from typing import Any

import numpy

from . import _zolt


def _text(text: str, what: str) -> str:
    if "\0" in text:
        raise ValueError(f"embedded null byte in {what}")
    try:
        text.encode("utf-8")
    except UnicodeEncodeError as error:
        raise ValueError(f"{what} is not text that UTF-8 can hold: {error.reason}") from None
    return text


def _attributes(meta: Mapping[str, Any] | None) -> list[tuple[str, Any]]:
    if meta is not None and not isinstance(meta, Mapping):
        raise TypeError(f"meta must be a dict of attributes, not {type(meta).__name__}")
    attributes = []
    for name, value in (meta or {}).items():
        if not isinstance(name, str):
            raise TypeError(f"an attribute's name must be a str, not {name!r}")
        _text(name, f"the attribute name {name!r}")
        problem = _zolt.attribute_name_problem(name)
        if problem is not None:
            raise ValueError(problem)
        if isinstance(value, (bool, numpy.bool_)) or not isinstance(value, (str, numbers.Real)):
            raise TypeError(f"attribute {name!r} must be a str or a number, not {value!r}")
        if isinstance(value, str):
            value = _text(value, f"attribute {name!r}")
        elif isinstance(value, numbers.Integral):
            value = int(value)
            if not -2**63 <= value < 2**63:
                raise ValueError(f"attribute {name!r} is too large for a netCDF integer")
        else:
            value = float(value)
        attributes.append((name, value))
    return attributes


def _names(sources: list[tuple[str, Any, Any]]) -> list[str]:
    return [os.fsdecode(name) if isinstance(name, (str, bytes)) else str(name) for _, _, name in sources]


def to_netcdf(paths: Any, out: Any, *, start: Any = None, end: Any = None,
              meta: dict[str, Any] | None = None, salvage: bool = False) -> None:
    from . import __version__, _path, _sources, _warn, _window

    start_ns, end_ns = _window(start, end)
    attributes = _attributes(meta)
    out = os.fsdecode(_path(out))
    sources = _sources(paths)
    names = _names(sources)
    window = "".join(f", {which}={value!r}" for which, value in (("start", start), ("end", end)) if value is not None)
    if salvage:
        window += ", salvage=True"
    history = f"zolt {__version__}: zolt.to_netcdf({names!r}, {out!r}{window})"
    damages = _zolt.write_netcdf(sources, names, out, start_ns, end_ns, attributes, history, bool(salvage))
    _warn(damages, sources)


def dataset(paths: Any, table: str, start: Any, end: Any, salvage: bool = False, columns: list[str] | None = None):
    import xarray

    from . import _sources, _warn, _window

    start_ns, end_ns = _window(start, end)
    sources = _sources(paths)
    variables, damages = _zolt.dataset_variables(sources, _names(sources), table, start_ns, end_ns, bool(salvage),
                                                   columns)
    _warn(damages, sources)
    stored = xarray.Dataset({name: ("obs", values, attributes) for name, values, attributes in variables})
    return _along_time(_as_read(xarray.decode_cf(stored), table))


# What a Dataset says when its times cannot be its dimension.
NOT_ALONG_TIME = ("the rows' times do not increase from row to row (a clock that stepped back, a row without a "
                  "time, or two rows at one time), so the dimension is obs, in the order of the records, and time "
                  "a coordinate along it")


def _along_time(decoded: Any) -> Any:
    """The Dataset along time where its times increase, so that ``sel`` and
    ``resample`` work by time; else along obs, and says why."""
    times = decoded["time"].values
    if len(times) > 0 and (numpy.isnat(times).any() or not (times[1:] > times[:-1]).all()):
        decoded.attrs["time_order"] = NOT_ALONG_TIME
        return decoded
    return decoded.swap_dims({"obs": "time"})


def _as_read(decoded: Any, table: str) -> Any:
    """The variables in the dtypes zolt.read gives their columns: xarray
    decodes a 16-bit count with a scale factor as float32, which holds its
    values exactly, so float64 is exactly the value read gives."""
    dtypes = {name: numpy.dtype(dtype) for name, dtype, *_ in _zolt.table_columns(table)}
    for name, variable in decoded.data_vars.items():
        wanted = dtypes.get(str(name))
        if wanted is not None and wanted.kind != "O" and variable.dtype != wanted:
            decoded[name] = variable.astype(wanted, keep_attrs=True)
    return decoded
