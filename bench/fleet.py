"""Times zolt.dask on 40 files of 10 MB: the sum of one data column over
all of them, on a LocalCluster of two worker processes, against zolt.read
of the files one after another in one process.

    /usr/bin/python3 bench/fleet.py <build folder> [rounds]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
sys.path.insert(0, os.path.join(build, "python"))
os.environ["PYTHONPATH"] = os.path.join(build, "python") + os.pathsep + os.environ.get("PYTHONPATH", "")

import distributed  # noqa: E402
import pandas  # noqa: E402

import zolt  # noqa: E402
import zolt.dask  # noqa: E402


def timed(call):
    seconds, result = [], None
    for round_ in range(rounds):
        started = time.perf_counter()
        result = call(round_)
        seconds.append(time.perf_counter() - started)
    return min(seconds), statistics.median(seconds), result


def main():
    work = tempfile.mkdtemp()
    paths = []
    for number in range(40):
        path = os.path.join(work, f"logger{number:02}.dat")
        subprocess.run([os.path.join(build, "makeSample"), path, "5520"], check=True)
        paths.append(path)
    size = sum(os.path.getsize(path) for path in paths) / 1e6
    print(f"{len(paths)} files, {size:.0f} MB in all; {rounds} rounds, best and median seconds\n")
    serial = timed(lambda round_: sum(zolt.read(path, "data")["acc_z"].sum() for path in paths))

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=40) as cluster:
        with distributed.Client(cluster):
            # The files in another order each round, so that no round finds
            # the results of the one before still held by the workers.
            def files(round_):
                return paths[round_:] + paths[:round_]

            parallel = timed(lambda round_: zolt.dask.read(files(round_), "data")["acc_z"].sum().compute())
            # Behind map_partitions dask cannot tell which columns are
            # needed: the workers decode whole tables, as zolt.read does.
            parallel_all = timed(lambda round_: zolt.dask.read(files(round_), "data").map_partitions(
                lambda part: pandas.Series([part["acc_z"].sum()])).sum().compute())
    assert abs(parallel[2] - serial[2]) <= 1e-6 * abs(serial[2])
    print("the sum of acc_z over every file (the workers decode acc_z alone):")
    print(f"  zolt.read one after another  {serial[0]:7.3f} {serial[1]:7.3f}")
    print(f"  zolt.dask on two workers     {parallel[0]:7.3f} {parallel[1]:7.3f}   "
          f"{serial[0] / parallel[0]:.2f}x (median {serial[1] / parallel[1]:.2f}x) faster; target 1.6x")
    print("the same, the workers decoding whole tables:")
    print(f"  zolt.dask on two workers     {parallel_all[0]:7.3f} {parallel_all[1]:7.3f}   "
          f"{serial[0] / parallel_all[0]:.2f}x (median {serial[1] / parallel_all[1]:.2f}x) faster")
    for path in paths:
        os.remove(path)
    os.rmdir(work)


if __name__ == "__main__":
    main()
