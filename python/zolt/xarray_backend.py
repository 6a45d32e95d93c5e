"""xarray's engine "zolt": ``xarray.open_dataset("d0001.dat", engine="zolt",
group="data")`` gives what ``zolt.open_dataset`` gives; ``group`` names
the table and must be given. Registered through
the package's entry points, so it works where the package is installed
with its metadata (pip, or the Debian package)."""

from __future__ import annotations

from typing import Any, Iterable

from xarray.backends import BackendEntrypoint


class ZoltBackendEntrypoint(BackendEntrypoint):
    """One table of ZOLT data logger record files as a Dataset."""

    description = "ZOLT data logger record files: one table (group) as a Dataset"
    open_dataset_parameters = ("filename_or_obj", "drop_variables", "group", "start", "end", "columns", "salvage")

    def open_dataset(self, filename_or_obj: Any, *, drop_variables: str | Iterable[str] | None = None,
                     group: str | None = None, start: Any = None, end: Any = None, columns: Iterable[str] | None = None,
                     salvage: bool = False):
        from . import TABLES, open_dataset

        if group is None:
            raise ValueError("the zolt engine reads one table of a run at a time: name it with group=, one of "
                             + ", ".join(TABLES))
        dataset = open_dataset(filename_or_obj, group, start=start, end=end, columns=columns, salvage=salvage)
        return dataset.drop_vars(drop_variables) if drop_variables else dataset

    def guess_can_open(self, filename_or_obj: Any) -> bool:
        # Record files carry no signature to know them by: ask for the
        # engine by name.
        return False
