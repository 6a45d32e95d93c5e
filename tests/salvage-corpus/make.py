#!/usr/bin/python3
"""Writes the salvage corpus: record files that once fooled salvage, each with
the rows that must come back from it.

    tests/salvage-corpus/make.py BUILD/decode [seed]

Each NAME.dat gets a NAME.rows beside it. An undamaged file's rows are its
plain reading (decode --csv=TABLE, every table). A damaged file is made from
an undamaged original by one known change, and its rows are the original's
plain reading less the rows of the records the change touched: salvage's
output is never consulted. Noise (random bytes, runs of one byte) owes no rows.

The first line of NAME.rows says which of the three the file is; then, for
each table, a line "# table NAME", the table's CSV header row and its rows.
"""

import math
import os
import random
import struct
import subprocess
import sys
import tempfile

TABLES = ["header", "marker", "data", "pressure", "index", "system"]
SIZES = {0: 18, 1: 6, 2: 18, 3: 4, 4: 32, 5: 18}
START = 1796083200  # 2026-12-01 00:00:00 UTC
G = 65536  # acceleration counts of 1 g: most bytes of a still logger are 0x00 or 0xFF
ONE = 16384  # a quaternion component of 1


class Recording:
    """Records appended one after another, with where each one lies."""

    def __init__(self):
        self.bytes = bytearray()
        self.records = []  # (offset, type)

    def add(self, record):
        self.records.append((len(self.bytes), record[0]))
        self.bytes += record

    def extend(self, other):
        for offset, kind in other.records:
            self.records.append((len(self.bytes) + offset, kind))
        self.bytes += other.bytes


def header(logger, rate, time, seconds, ms=250, version=2):
    return struct.pack(">BBHHHiHI", 0, 0, version, logger, rate, time, ms, seconds * 1000)


def marker(time):
    return struct.pack(">BBi", 1, 0, time)


def s24(value):
    return struct.pack(">i", value)[1:]


def data(acc, quat):
    return bytes([2]) + b"".join(s24(a) for a in acc) + struct.pack(">4h", *quat)


def pressure(counts):
    return struct.pack(">BBH", 3, 0, counts)


def index(time, seconds, name, ms=250):
    return struct.pack(">BBiHII", 4, 0, time, ms, seconds * 1000, 70000) + name.encode().ljust(16, b"\0")


def system(time, rng):
    counts = [49474, 26000, 30000, 13107, 26000, 29768]
    return struct.pack(">BBi6H", 5, 0, time, *(c + rng.randint(-8, 8) for c in counts))


class StillLogger:
    """A logger lying nearly still: a slow swell of 0.05 g around 0, 0 and
    1 g with 0.002 g of noise, and a quaternion turning slowly."""

    def __init__(self, rng, rate, quat_scale=1.0):
        self.rng = rng
        self.rate = rate
        self.sample = 0
        self.quat_scale = quat_scale
        self.periods = [rng.uniform(6, 16) for _ in range(3)]

    def record(self):
        t = self.sample / self.rate
        self.sample += 1
        acc = [
            round(G * (centre + 0.05 * math.sin(2 * math.pi * t / period) + self.rng.gauss(0, 0.002)))
            for centre, period in zip((0, 0, 1), self.periods)
        ]
        angle = 0.3 + 0.01 * t
        axis = (math.sin(t / 50), math.cos(t / 50), 0.3)
        length = math.sqrt(sum(a * a for a in axis))
        parts = [math.cos(angle / 2)] + [a / length * math.sin(angle / 2) for a in axis]
        quat = [max(-32768, min(32767, round(ONE * self.quat_scale * p))) for p in parts]
        return data(acc, quat)


def seconds(recording, logger, times, pressure_every, system_every=10, rng=None):
    """One second per marker time: the marker, a system record every
    `system_every` seconds, `rate` data records and a pressure reading after
    every `pressure_every` of them."""
    for n, time in enumerate(times):
        recording.add(marker(time))
        if n % system_every == 0:
            recording.add(system(time, rng))
        for sample in range(logger.rate):
            recording.add(logger.record())
            if (sample + 1) % pressure_every == 0:
                recording.add(pressure(30000 + rng.randint(-20, 20)))


def recording(rng, rate=20, count=12, start=START, logger_id=300, times=None, quat_scale=1.0, name="d0001.dat"):
    times = times if times is not None else [start + n for n in range(count)]
    out = Recording()
    out.add(header(logger_id, rate, times[0], len(times)))
    out.add(index(times[0], len(times), name))
    seconds(out, StillLogger(rng, rate, quat_scale), times, max(rate // 4, 1), rng=rng)
    return out


def first_record_after(original, offset, kind):
    return next(r for r in original.records if r[0] >= offset and r[1] == kind)


# The cases. Each returns (what it is, the file, the original, the touched
# stretch of the original): what is "undamaged", "damaged" or "noise".


def undamaged(rng):
    return "undamaged", recording(rng), None, None


def clock_steps_back(rng):
    times = [START + n for n in range(12)] + [START + 12 - 20 + n for n in range(12)]
    return "undamaged", recording(rng, times=times), None, None


def eight_day_pause(rng):
    times = [START + n for n in range(10)] + [START + 8 * 86400 + n for n in range(10)]
    return "undamaged", recording(rng, times=times), None, None


def stuck_clock(rng):
    times = [START + n for n in range(8)] + [START + 8] * 12
    return "undamaged", recording(rng, times=times), None, None


def quaternions_not_unit(rng):
    # Enough unit quaternions first for salvage to expect them.
    first = recording(rng, count=20)
    out = Recording()
    out.extend(first)
    logger = StillLogger(rng, 20, quat_scale=0.5)
    logger.sample = 20 * 20
    seconds(out, logger, [START + 20 + n for n in range(10)], 5, rng=rng)
    return "undamaged", out, None, None


def long_stretch_without_markers(rng):
    # More than 48 KiB of records between two markers, at 100 a second.
    rate = 100
    out = Recording()
    out.add(header(300, rate, START, 45))
    out.add(index(START, 45, "d0001.dat"))
    logger = StillLogger(rng, rate)
    seconds(out, logger, [START + n for n in range(3)], 25, rng=rng)
    for sample in range(3000):
        out.add(logger.record())
        if (sample + 1) % 25 == 0:
            out.add(pressure(30000 + rng.randint(-20, 20)))
    seconds(out, logger, [START + 33 + n for n in range(3)], 25, rng=rng)
    return "undamaged", out, None, None


def two_loggers_concatenated(rng):
    out = recording(rng, count=10, logger_id=300)
    out.extend(recording(rng, count=10, logger_id=301, start=START + 3600, name="d0002.dat"))
    return "undamaged", out, None, None


def two_rates_concatenated(rng):
    out = recording(rng, count=10, rate=20)
    out.extend(recording(rng, count=10, rate=8, start=START + 600, name="d0002.dat"))
    return "undamaged", out, None, None


def same_logger_restarted(rng):
    out = recording(rng, count=10)
    out.extend(recording(rng, count=10, start=START + 2 * 86400, name="d0002.dat"))
    return "undamaged", out, None, None


def slow_start_weeks_later(rng):
    # A second recording, weeks on, whose logger wrote no data records in
    # its first second.
    out = recording(rng, count=10, logger_id=300)
    start = START + 26 * 86400
    later = Recording()
    later.add(header(301, 20, start, 10))
    later.add(index(start, 10, "d0002.dat"))
    later.add(marker(start))
    later.add(system(start, rng))
    seconds(later, StillLogger(rng, 20), [start + 1 + n for n in range(9)], 5, rng=rng)
    out.extend(later)
    return "undamaged", out, None, None


def one_second_recordings_concatenated(rng):
    # Loggers far apart in time, each of a single second, between two longer
    # recordings: no header of them is vouched for by a whole second.
    out = recording(rng, count=10, logger_id=300)
    for n, start in enumerate([START + 5 * 3600, START - 3 * 365 * 86400, START + 40 * 86400]):
        out.extend(recording(rng, count=1, logger_id=301 + n, start=start, name="d000%d.dat" % (n + 2)))
    out.extend(recording(rng, count=10, logger_id=304, start=START + 90 * 86400, name="d0005.dat"))
    return "undamaged", out, None, None


def boot_loop_stuck_clock(rng):
    # A logger that restarts over and over without writing a second, its
    # clock stopped: the same header, byte for byte, three times, then its
    # recording.
    out = recording(rng, count=10, logger_id=300)
    stuck = START + 7200
    for _ in range(3):
        out.add(header(301, 20, stuck, 0))
    out.extend(recording(rng, count=10, logger_id=301, start=stuck, name="d0002.dat"))
    return "undamaged", out, None, None


def cut_inside_a_record(rng):
    # The second of two files a recording was cut into, starting inside a
    # data record at a zero byte: the records after it are owed as the whole
    # recording has them, timed at its header's rate, which its seconds tell.
    whole = recording(rng, count=24)
    data_records = [r for r in whole.records if r[1] == 2 and r[0] > len(whole.bytes) // 2]
    for at, _ in data_records:
        zero = next((i for i in range(at + 1, at + 18) if whole.bytes[i] == 0), None)
        if zero is not None:
            break
    following = at + 18
    # A reading between the cut and the first whole data record or marker has no
    # sample or marker before it to tell its second by: it is not owed.
    first_data = next(offset for offset, kind in whole.records if offset >= following and kind in (1, 2))
    file = Recording()
    file.bytes = whole.bytes[zero:]
    return "damaged", file, whole, (0, first_data)


def deleted(rng, count, rate=100):
    original = recording(rng, rate=rate, count=3)
    at, _ = [r for r in original.records if r[1] == 2][rate + 40]
    x = at + 3
    file = Recording()
    file.bytes = original.bytes[:x] + original.bytes[x + count :]
    return "damaged", file, original, (x, x + count)


def sector_random(rng):
    original = recording(rng, rate=100, count=4)
    x = 2048
    file = Recording()
    file.bytes = original.bytes[:x] + bytes(rng.getrandbits(8) for _ in range(512)) + original.bytes[x + 512 :]
    return "damaged", file, original, (x, x + 512)


def cut_4_kib(rng):
    original = recording(rng, rate=100, count=6)
    x = 4096
    file = Recording()
    file.bytes = original.bytes[:x] + original.bytes[x + 4096 :]
    return "damaged", file, original, (x, x + 4096)


def random_bytes(rng):
    file = Recording()
    file.bytes = bytearray(rng.getrandbits(8) for _ in range(8192))
    return "noise", file, None, None


def run_of(byte):
    def make(_rng):
        file = Recording()
        file.bytes = bytearray([byte]) * 4096
        return "noise", file, None, None

    return make


CASES = [
    ("undamaged", undamaged),
    ("clock-steps-back", clock_steps_back),
    ("eight-day-pause", eight_day_pause),
    ("stuck-clock", stuck_clock),
    ("quaternions-not-unit", quaternions_not_unit),
    ("long-stretch-without-markers", long_stretch_without_markers),
    ("two-loggers-concatenated", two_loggers_concatenated),
    ("two-rates-concatenated", two_rates_concatenated),
    ("same-logger-restarted", same_logger_restarted),
    ("cut-inside-a-record", cut_inside_a_record),
    ("deleted-1-byte", lambda rng: deleted(rng, 1)),
    ("deleted-13-bytes", lambda rng: deleted(rng, 13)),
    ("random-sector", sector_random),
    ("cut-4-kib", cut_4_kib),
    ("random-bytes", random_bytes),
    ("run-of-0x02", run_of(0x02)),
    ("run-of-0x03", run_of(0x03)),
    ("run-of-0x04", run_of(0x04)),
    ("run-of-0x05", run_of(0x05)),
    ("slow-start-weeks-later", slow_start_weeks_later),
    ("one-second-recordings-concatenated", one_second_recordings_concatenated),
    ("boot-loop-stuck-clock", boot_loop_stuck_clock),
]


def plain_tables(decode, contents, folder):
    path = os.path.join(folder, "plain.dat")
    with open(path, "wb") as out:
        out.write(contents)
    tables = {}
    for table in TABLES:
        run = subprocess.run([decode, "--csv=" + table, path], capture_output=True, check=True)
        tables[table] = run.stdout.decode().splitlines()
    return tables


def owed_rows(decode, what, file, original, touched, folder):
    if what == "noise":
        return {table: lines[:1] for table, lines in plain_tables(decode, b"", folder).items()}
    reading = original if what == "damaged" else file
    tables = plain_tables(decode, bytes(reading.bytes), folder)
    owed = {}
    for number, table in enumerate(TABLES):
        header_row, rows = tables[table][0], tables[table][1:]
        records = [r for r in reading.records if r[1] == number]
        # The plain reading of an undamaged file gives one row per record.
        assert len(rows) == len(records), (table, len(rows), len(records))
        kept = [header_row]
        for row, (offset, kind) in zip(rows, records):
            if touched and offset < touched[1] and touched[0] < offset + SIZES[kind]:
                continue
            kept.append(row)
        owed[table] = kept
    return owed


def main():
    decode = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 29
    here = os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as folder:
        for number, (name, make) in enumerate(CASES):
            rng = random.Random(seed * 1000 + number)
            what, file, original, touched = make(rng)
            with open(os.path.join(here, name + ".dat"), "wb") as out:
                out.write(file.bytes)
            owed = owed_rows(decode, what, file, original, touched, folder)
            with open(os.path.join(here, name + ".rows"), "w") as out:
                out.write("# " + what + "\n")
                for table in TABLES:
                    out.write("# table " + table + "\n")
                    out.writelines(line + "\n" for line in owed[table])


if __name__ == "__main__":
    main()
