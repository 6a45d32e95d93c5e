"""The decoding library behind the zolt package; use the functions of zolt itself."""

from typing import Any, Optional, Sequence, Tuple

import numpy

# Each source is ("path", path as bytes, name) or ("bytes", contents, name).
Source = Tuple[str, Any, Any]
# (source number, unknown bytes, first unknown offset, cut type, cut size, cut offset,
#  unwritten bytes, unwritten offset, skipped stretches, skipped bytes,
#  [(offset, size)] of the first stretches skipped)
Damage = Tuple[int, int, int, int, int, int, int, int, int, int, list[Tuple[int, int]]]

__version__: str
tables: Tuple[str, ...]
# The bytes a page may take when no budget is given.
default_html_budget: int

def read_table(sources: Sequence[Source], table: str, start_ns: Optional[int], end_ns: Optional[int],
               nanoseconds: bool, columns: Optional[Sequence[str]] = None, carried_rate: int = 0,
               salvage: bool = False) -> Tuple[dict[str, numpy.ndarray], list[Damage], int]:
    """Reads one table of the sources as a run: (columns, damages, rows)."""

def read_analysis_table(sources: Sequence[Source], table: str, start_ns: Optional[int], end_ns: Optional[int],
                        salvage: bool = False, parameters: dict[str, str] = ..., every_us: int = 0,
                        mean: bool = True, min: bool = False, max: bool = False, fill: bool = False
                        ) -> Tuple[bytes, list[Damage], dict[str, Any]]:
    """Reads a table made from the analysis of the sources as one deployment, or its averages over intervals of
    every_us: (CSV text, damages, attributes)."""

def analysis_keywords() -> list[str]:
    """The analysis's keyword arguments, in the order they are checked."""

def interval_micros(text: str) -> Optional[int]:
    """An interval such as 1s or 250ms in microseconds, as decode --every takes it; None for any other text."""

def read_averages(sources: Sequence[Source], table: str, start_ns: Optional[int], end_ns: Optional[int],
                  nanoseconds: bool, every_us: int, mean: bool = True, min: bool = False, max: bool = False,
                  fill: bool = False, salvage: bool = False) -> Tuple[dict[str, numpy.ndarray], list[Damage], int]:
    """Reads a record table's averages over intervals of every_us, as decode --csv --every: (columns, damages,
    intervals)."""


class BatchReader:
    """One table of the sources handed out a batch of rows at a time while the library reads on."""

    def __init__(self, sources: Sequence[Source], table: str, start_ns: Optional[int], end_ns: Optional[int],
                 nanoseconds: bool, columns: Optional[Sequence[str]], rows: int, salvage: bool = False) -> None: ...
    def next(self) -> Optional[Tuple[dict[str, numpy.ndarray], int]]:
        """The next batch as ({name: array}, rows); None at the end."""
    def damages(self, at_end: bool) -> list[Damage]:
        """The damages of the sources read since the last call."""
    def raise_failure(self) -> None:
        """Raises for the source that could not be read, if any."""
    def close(self) -> None:
        """Stops the reading and lets go of the sources."""

def file_spans(source: Source, carried_rate: int = 0, salvage: bool = False) -> dict[str, Any]:
    """When each table's rows of one source lie, found without decoding it:
    {"tables": {name: (first us, last us, in order) or None}, "last_rate": int or None,
    "uses_carried_rate": bool}."""

def uses_carried_rate(start: bytes) -> Optional[bool]:
    """Whether a file's first bytes show that it times data by the rate carried in; None when they do not tell."""

def write_netcdf(sources: Sequence[Source], names: Sequence[str], path: str, start_ns: Optional[int],
                 end_ns: Optional[int], attributes: Sequence[Tuple[str, Any]], history: str,
                 salvage: bool = False) -> list[Damage]:
    """Writes the sources as one netCDF file: the damages."""

def write_html(sources: Sequence[Source], names: Sequence[str], path: str, start_ns: Optional[int],
               end_ns: Optional[int], budget_bytes: int = ..., salvage: bool = False) -> list[Damage]:
    """Writes the sources' interactive page: the damages."""

def dataset_variables(sources: Sequence[Source], names: Sequence[str], table: str, start_ns: Optional[int],
                      end_ns: Optional[int], salvage: bool = False, columns: Optional[Sequence[str]] = None
                      ) -> Tuple[list[Tuple[str, numpy.ndarray, dict[str, Any]]], list[Damage]]:
    """One table as the variables of its netCDF group, as stored: ([(name, values, attributes)], damages)."""

def attribute_name_problem(name: str) -> Optional[str]:
    """Why netCDF would not take the name for a global attribute; None when it would."""

def info_lines(sources: Sequence[Source], names: Sequence[bytes], salvage: bool = False) -> list[str]:
    """The deployment check of the sources as JSON lines."""

def table_columns(table: str) -> list[Tuple[str, numpy.dtype, bool, str, float, str, str]]:
    """Every column a table can have: (name, dtype, in the CSV table, value column counted, scale, long name,
    units)."""
