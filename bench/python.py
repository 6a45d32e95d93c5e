"""Times the Python package on a 50 MB recording against the exact CSV
route, and measures what a read costs in memory and what two threads gain.

    /usr/bin/python3 bench/python.py <build folder> [rounds]

The build folder is a CMake build with the Python package (build/python) and
the decode and makeSample programs in it.
"""

import io
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time

build = os.path.abspath(sys.argv[1])
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
sys.path.insert(0, os.path.join(build, "python"))
import pandas as pd  # noqa: E402

import zolt  # noqa: E402

decode = os.path.join(build, "decode")


def timed(call, rounds):
    """Best and median seconds of `rounds` calls."""
    seconds = []
    for _ in range(rounds):
        started = time.perf_counter()
        call()
        seconds.append(time.perf_counter() - started)
    return min(seconds), statistics.median(seconds)


def faults_of(call):
    """Page faults this process takes in one call."""
    before = resource.getrusage(resource.RUSAGE_SELF)
    call()
    after = resource.getrusage(resource.RUSAGE_SELF)
    return (after.ru_minflt - before.ru_minflt) + (after.ru_majflt - before.ru_majflt)


def csv_route(path):
    table = subprocess.run([decode, "--csv=data", path], capture_output=True, check=True).stdout
    return pd.read_csv(io.BytesIO(table), parse_dates=["time"], float_precision="round_trip")


def csv_to_null(path, table="data"):
    with open(os.devnull, "wb") as null:
        subprocess.run([decode, f"--csv={table}", path], stdout=null, check=True)


# The peak of this process's own memory: ru_maxrss would include the
# parent's at the fork.
PEAK = """
import sys
sys.path.insert(0, sys.argv[1])
import numpy, pandas, zolt
def peak():
    with open("/proc/self/status") as status:
        return int(next(line for line in status if line.startswith("VmHWM:")).split()[1])
zolt.read(sys.argv[3], "marker")  # every library loaded
before = peak()
if sys.argv[4] == "batches":
    # The largest batch stands for what is held at a time.
    result = max((batch for batch in zolt.batches(sys.argv[2], "data", rows=1_000_000)), key=len)
else:
    result = zolt.read(sys.argv[2], "data") if sys.argv[4] == "frame" else zolt.read_arrays(sys.argv[2], "data")
after = peak()
arrays = result.memory_usage(index=False).sum() if sys.argv[4] != "arrays" else sum(a.nbytes for a in result.values())
print(before, after, arrays)
"""


def peak_memory(path, form):
    """(peak growth, returned arrays) in MiB of one read in a fresh process."""
    out = subprocess.run([sys.executable, "-c", PEAK, os.path.join(build, "python"), path,
                          os.path.join(os.path.dirname(build), "examples", "d0001.dat"), form],
                         capture_output=True, check=True, text=True).stdout.split()
    before, after, arrays = (int(value) for value in out)
    return (after - before) / 1024, arrays / 2**20


def main():
    work = tempfile.mkdtemp()
    paths = [os.path.join(work, f"recording{i}.dat") for i in range(2)]
    for path in paths:
        subprocess.run([os.path.join(build, "makeSample"), path, "27600"], check=True)
    path = paths[0]
    megabytes = os.path.getsize(path) / 1e6
    print(f"{megabytes:.1f} MB recording, {rounds} rounds; best and median seconds\n")

    frame = timed(lambda: zolt.read(path, "data"), rounds)
    arrays = timed(lambda: zolt.read_arrays(path, "data"), rounds)
    route = timed(lambda: csv_route(path), max(2, rounds // 2))
    null = timed(lambda: csv_to_null(path), rounds)
    print(f"zolt.read(f, 'data')          {frame[0]:7.3f} {frame[1]:7.3f}")
    print(f"decode --csv=data + read_csv  {route[0]:7.3f} {route[1]:7.3f}   "
          f"zolt.read is {route[0] / frame[0]:.0f}x (median {route[1] / frame[1]:.0f}x) faster; target 40x")
    print(f"zolt.read_arrays(f, 'data')   {arrays[0]:7.3f} {arrays[1]:7.3f}")
    print(f"decode --csv=data > /dev/null {null[0]:7.3f} {null[1]:7.3f}   "
          f"read_arrays is {null[0] / arrays[0]:.1f}x (median {null[1] / arrays[1]:.1f}x) as fast; target 1x")
    print(f"zolt.read is {frame[1] / arrays[1]:.2f}x the median of read_arrays; target at most 1.2x")
    dives = timed(lambda: zolt.read(path, "dives"), rounds)
    dives_null = timed(lambda: csv_to_null(path, "dives"), rounds)
    print(f"zolt.read(f, 'dives')         {dives[0]:7.3f} {dives[1]:7.3f}")
    print(f"decode --csv=dives > /dev/null {dives_null[0]:6.3f} {dives_null[1]:7.3f}   "
          f"zolt.read takes {dives[0] / dives_null[0]:.2f}x (median {dives[1] / dives_null[1]:.2f}x) its time; "
          f"target at most 1.1x")
    one = timed(lambda: zolt.read(path, "data", columns=["acc_z"]), rounds)
    print(f"zolt.read(f, columns=[acc_z]) {one[0]:7.3f} {one[1]:7.3f}   "
          f"{frame[0] / one[0]:.1f}x (median {frame[1] / one[1]:.1f}x) faster than the whole table; target 3x")
    print(f"page faults: read_arrays {faults_of(lambda: zolt.read_arrays(path, 'data'))}, "
          f"read {faults_of(lambda: zolt.read(path, 'data'))}; target at most 1000")

    def one_after_the_other():
        for each in paths:
            zolt.read(each, "data")

    def two_threads():
        threads = [threading.Thread(target=zolt.read, args=(each, "data")) for each in paths]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

    serial = timed(one_after_the_other, rounds)
    parallel = timed(two_threads, rounds)
    print(f"two files one after the other {serial[0]:7.3f} {serial[1]:7.3f}")
    print(f"two files in two threads      {parallel[0]:7.3f} {parallel[1]:7.3f}   "
          f"{parallel[0] / serial[0]:.2f}x (median {parallel[1] / serial[1]:.2f}x) of the time; target 0.65x")

    for form in ("arrays", "frame"):
        growth, held = peak_memory(path, form)
        print(f"peak memory of a read ({form}): {growth:.0f} MiB for {held:.0f} MiB of arrays, "
              f"{growth - held:+.0f} MiB beyond them; target +64 MiB")
    day = os.path.join(work, "day.dat")
    subprocess.run([os.path.join(build, "makeSample"), day, "86400"], check=True)
    growth, held = peak_memory(day, "batches")
    whole, _ = peak_memory(day, "frame")
    print(f"peak memory of a day's data table in batches of a million rows: {growth:.0f} MiB "
          f"({held:.0f} MiB a batch), against {whole:.0f} MiB for one read; target a few batches")
    for each in [*paths, day]:
        os.remove(each)
    os.rmdir(work)


main()
