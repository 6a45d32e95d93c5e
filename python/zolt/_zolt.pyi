"""The decoding library behind the zolt package; use the functions of zolt itself."""

from typing import Any, Optional, Sequence, Tuple

import numpy

# Each source is ("path", path as bytes, name) or ("bytes", contents, name).
Source = Tuple[str, Any, Any]
# (source number, unknown bytes, first unknown offset, cut type, cut size, cut offset)
Damage = Tuple[int, int, int, int, int, int]

__version__: str
tables: Tuple[str, ...]

def read_table(sources: Sequence[Source], table: str, start_ns: Optional[int], end_ns: Optional[int],
               nanoseconds: bool, columns: Optional[Sequence[str]] = None
               ) -> Tuple[dict[str, numpy.ndarray], list[Damage]]:
    """Reads one table of the sources as a run: (columns, damages)."""

def info_lines(sources: Sequence[Source], names: Sequence[bytes]) -> list[str]:
    """The deployment check of the sources as JSON lines."""

def table_columns(table: str) -> list[Tuple[str, numpy.dtype, bool, str, float]]:
    """Every column a table can have: (name, dtype, in the CSV table, value column counted, scale)."""
