"""Times averages on read and measures what long reads cost in memory.

    /usr/bin/python3 bench/averages.py <build folder> [days]

- every="1s" over a day of samples against zolt.read followed by pandas'
  resample("1s").mean(): target at least 10x faster;
- decode --csv=data --every=1s against decode --csv=pressure on the 50 MB
  recording: target at least its speed;
- over `days` days (14 unless given; a big file, written to a temporary
  folder and removed), the peak memory a read of columns=["time", "acc_z"]
  adds (target: at most the file plus 16 bytes a row) and that of the whole
  data table in batches (target: at most 256 MiB).

Run each once on a quiet machine: the figures are whole-process ones.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1])
days = float(sys.argv[2]) if len(sys.argv) > 2 else 14
sys.path.insert(0, os.path.join(build, "python"))

import zolt  # noqa: E402

decode = os.path.join(build, "decode")
make_sample = os.path.join(build, "makeSample")


def timed(call, rounds=3):
    """The median seconds of `rounds` calls."""
    seconds = []
    for _ in range(rounds):
        started = time.perf_counter()
        call()
        seconds.append(time.perf_counter() - started)
    return statistics.median(seconds)


def to_null(*args):
    with open(os.devnull, "wb") as null:
        subprocess.run([decode, *args], stdout=null, check=True)


# The peak of a fresh process's own memory around one read: ru_maxrss would
# include the parent's at the fork.
PEAK = """
import sys
sys.path.insert(0, sys.argv[1])
import numpy, pandas, zolt
def peak():
    with open("/proc/self/status") as status:
        return int(next(line for line in status if line.startswith("VmHWM:")).split()[1]) * 1024
zolt.read(sys.argv[3], "marker")  # every library loaded
before = peak()
rows = 0
if sys.argv[4] == "batches":
    for batch in zolt.batches(sys.argv[2], "data", rows=1_000_000):
        rows += len(batch)
else:
    rows = len(zolt.read(sys.argv[2], "data", columns=["time", "acc_z"]))
print(before, peak(), rows)
"""


def peak_growth(path, form):
    """(peak growth in bytes, rows) of one read in a fresh process."""
    sample = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples", "d0001.dat")
    out = subprocess.run([sys.executable, "-c", PEAK, os.path.join(build, "python"), path, sample, form],
                         capture_output=True, check=True, text=True).stdout.split()
    before, after, rows = (int(value) for value in out)
    return after - before, rows


def main():
    work = tempfile.mkdtemp()
    day = os.path.join(work, "day.dat")
    subprocess.run([make_sample, day, "86400"], check=True)

    import pandas  # noqa: F401  loaded before the timing

    ours = timed(lambda: zolt.read(day, "data", every="1s"))
    theirs = timed(lambda: zolt.read(day, "data").drop(columns="sample").set_index("time").resample("1s").mean())
    print(f"a day, every='1s': {ours:.3f} s; read + resample('1s').mean(): {theirs:.3f} s; "
          f"{theirs / ours:.1f}x faster, target 10x")
    both = timed(lambda: zolt.read(day, "data", every="1s", agg=("mean", "min", "max")))
    print(f"a day, every='1s' with min and max: {both:.3f} s")
    os.remove(day)

    recording = os.path.join(work, "recording.dat")
    subprocess.run([make_sample, recording, "27600"], check=True)
    averaged = timed(lambda: to_null("--csv=data", "--every=1s", recording), 5)
    pressure = timed(lambda: to_null("--csv=pressure", recording), 5)
    print(f"{os.path.getsize(recording) / 1e6:.0f} MB: decode --csv=data --every=1s {averaged:.3f} s, "
          f"--csv=pressure {pressure:.3f} s; {pressure / averaged:.2f}x its speed, target 1x")
    os.remove(recording)

    long = os.path.join(work, "long.dat")
    subprocess.run([make_sample, long, str(int(days * 86400))], check=True)
    size = os.path.getsize(long)
    growth, rows = peak_growth(long, "columns")
    print(f"{days:g} days ({size / 2**20:.0f} MiB, {rows} rows): read(columns=['time', 'acc_z']) peak growth "
          f"{growth / 2**20:.0f} MiB, {growth / rows:.2f} bytes a row ({(growth - size) / rows:+.2f} beyond the file's "
          "size); target at most 16 beyond it")
    growth, rows = peak_growth(long, "batches")
    print(f"{days:g} days: batches of the whole data table, peak growth {growth / 2**20:.0f} MiB; target 256 MiB")
    os.remove(long)
    os.rmdir(work)


main()
