"""Reads --info=json with Python's json module, as a script would: for the
sample recording, and for copies of it under hostile file names.

    infoConsumer.py <decode binary> <recording>
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

KEYS = ["file", "bytes", "records", "unknown_bytes", "first_unknown_offset", "truncated_bytes", "markers",
        "samples_per_second", "sensors", "quat_norm", "problems"]
# Each name as bytes, and as the JSON string must give it back.
NAMES = [
    (b"plain.dat", "plain.dat"),
    (b'quote"d.dat', 'quote"d.dat'),
    (b"back\\slash.dat", "back\\\\slash.dat"),
    (b"lit\\xFF.dat", "lit\\\\xFF.dat"),
    (b"lit\xff.dat", "lit\\xFF.dat"),
    (b"new\nline\t.dat", "new\nline\t.dat"),
    ("caf\u00e9.dat".encode("utf-8"), "caf\u00e9.dat"),
    (b"bad\xff\xc3.dat", "bad\\xFF\\xC3.dat"),
]


def objects(decode, paths, cwd):
    out = subprocess.run([decode, "--info=json"] + paths, check=True, capture_output=True, cwd=cwd)
    return [json.loads(line) for line in out.stdout.decode("utf-8", errors="strict").splitlines()]


def main():
    decode, recording = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    (sample,) = objects(decode, [recording], None)
    assert list(sample.keys())[:len(KEYS)] == KEYS, list(sample.keys())
    assert sample["records"] == {"header": 1, "marker": 60, "data": 6000, "pressure": 60, "index": 1, "system": 6}
    assert sample["bytes"] == os.path.getsize(recording)
    assert sample["markers"]["gaps"] == 0 and sample["samples_per_second"]["median"] == 100
    assert sample["problems"] == [] and sample["first_unknown_offset"] is None
    assert 0.999 < sample["quat_norm"]["min"] <= sample["quat_norm"]["max"] < 1.001
    bar = sample["sensors"]["ext_press_bar"]
    assert bar["min"] <= bar["mean"] <= bar["max"] and bar["count"] == 60

    with tempfile.TemporaryDirectory() as folder:
        for raw, _ in NAMES:
            shutil.copy(recording, os.path.join(os.fsencode(folder), raw))
        found = objects(decode, [raw for raw, _ in NAMES], folder)
    assert [o["file"] for o in found] == [shown for _, shown in NAMES] + [None], [o["file"] for o in found]
    assert found[-1]["records"]["data"] == 6000 * len(NAMES)
    assert found[-1]["markers"]["steps_back"] == len(NAMES) - 1
    print("info consumer: every line is JSON with the names given back")


main()
