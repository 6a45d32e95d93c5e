"""Reads every table of a recording with Python's own csv module, as an
analysis script would, and checks the columns' names and types.

    csvConsumer.py <decode binary> <recording>
"""
import csv
import datetime
import io
import subprocess
import sys
from fractions import Fraction

COLUMNS = {
    "header": ["time", "ver", "id", "rate", "duration_s"],
    "marker": ["time"],
    "data": ["time", "sample", "acc_x", "acc_y", "acc_z", "quat_0", "quat_1", "quat_2", "quat_3"],
    "pressure": ["time", "counts", "volts", "ext_press_bar"],
    "index": ["time", "duration_s", "max_val", "file"],
    "system": ["time", "batt_V", "vmodem_V", "ext_press_bar", "int_press_psia", "temp_degC", "hum_pct"],
}
INTEGERS = {"ver", "id", "rate", "sample", "counts"}
TEXT = {"file"}


def table(decode, name, recording):
    out = subprocess.run([decode, "--csv=" + name, recording], check=True, capture_output=True)
    assert out.stderr == b"", out.stderr
    return list(csv.DictReader(io.StringIO(out.stdout.decode("utf-8"), newline="")))


def check_types(name, rows):
    assert rows, name
    assert list(rows[0].keys()) == COLUMNS[name], (name, list(rows[0].keys()))
    for row in rows:
        when = datetime.datetime.fromisoformat(row["time"])
        assert when.tzinfo == datetime.timezone.utc and when.year == 2026, row
        for column, text in row.items():
            if column == "time" or column in TEXT:
                continue
            if column in INTEGERS:
                assert str(int(text)) == text, (name, column, text)
            else:
                assert "." in text and "e" not in text.lower(), (name, column, text)
                float(text)


def main():
    decode, recording = sys.argv[1], sys.argv[2]
    tables = {name: table(decode, name, recording) for name in COLUMNS}
    for name, rows in tables.items():
        check_types(name, rows)
    assert [len(tables[n]) for n in COLUMNS] == [1, 60, 6000, 60, 1, 6], [len(tables[n]) for n in COLUMNS]
    assert tables["index"][0]["file"] == "d0001.dat"
    # The values are the recorded fixed-point counts, exactly.
    raw = open(recording, "rb").read()
    first = raw.index(b"\x02", 18 + 32 + 6)
    count = int.from_bytes(raw[first + 1:first + 4], "big", signed=True)
    assert Fraction(tables["data"][0]["acc_x"]) == Fraction(count, 65536)
    # Samples at 100 a second lie 10 ms apart within each second.
    times = [datetime.datetime.fromisoformat(r["time"]) for r in tables["data"][:100]]
    assert all((b - a).microseconds == 10000 for a, b in zip(times, times[1:]))
    print("csv consumer: every table read with the right column names and types")


main()
