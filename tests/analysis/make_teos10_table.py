#!/usr/bin/python3
"""Depths in sea water by TEOS-10's reference implementation (python3-gsw),
for the C++ depth function's test to compare with.

    make_teos10_table.py TABLE            writes the table
    make_teos10_table.py --check TABLE    fails if gsw gives other depths now

The check exits 77 (a skip under ctest) when gsw is not installed.
"""
import csv
import sys

PRESSURES = [0, 0.5, 1, 2, 5, 10, 20, 50] + list(range(100, 2001, 100))  # dbar
LATITUDES = list(range(-90, 91, 15))  # degrees north
FIELDS = ["dbar", "latitude", "depth_m"]


def depths():
    import gsw

    for dbar in PRESSURES:
        for latitude in LATITUDES:
            yield dbar, latitude, -float(gsw.z_from_p(dbar, latitude))


def write(path):
    with open(path, "w", newline="") as table:
        out = csv.writer(table, lineterminator="\n")
        out.writerow(FIELDS)
        for dbar, latitude, depth in depths():
            out.writerow([dbar, latitude, repr(depth)])


def check(path):
    try:
        import gsw  # noqa: F401
    except ImportError:
        print("python3-gsw is not installed: the table is not checked")
        return 77
    with open(path, newline="") as table:
        rows = list(csv.DictReader(table))
    wanted = list(depths())
    if len(rows) != len(wanted):
        print(f"{path} has {len(rows)} rows, gsw gives {len(wanted)}")
        return 1
    worst = 0.0
    for row, (dbar, latitude, depth) in zip(rows, wanted):
        if float(row["dbar"]) != dbar or float(row["latitude"]) != latitude:
            print(f"{path}: a row for {row['dbar']} dbar at {row['latitude']} where gsw's is {dbar} at {latitude}")
            return 1
        worst = max(worst, abs(float(row["depth_m"]) - depth))
    if worst > 1e-9:
        print(f"{path} is stale: gsw {gsw.__version__} differs by up to {worst} m; regenerate it")
        return 1
    print(f"{len(rows)} depths as gsw {gsw.__version__} gives them")
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        sys.exit(check(sys.argv[2]))
    if len(sys.argv) == 2:
        write(sys.argv[1])
        sys.exit(0)
    sys.exit(__doc__)
