"""What the package's tests share: the decode program, the sample
generator, and record files made to measure."""

import os
import struct
import subprocess

import pytest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLE = os.path.join(SOURCE, "examples", "d0001.dat")
BASE = 0x51465A90  # 2013-03-18T00:06:40Z


def header(rate=100, time=BASE, ms=123, duration=3600000):
    return struct.pack(">BBHHHiHI", 0, 0, 2, 300, rate, time, ms, duration)


def marker(time=BASE):
    return struct.pack(">BBi", 1, 0, time)


def data(n=0):
    acc = [(n * 7919 + axis * 104729) % (1 << 24) - (1 << 23) for axis in range(3)]
    quat = [(n * 31 + part * 977) % 65536 - 32768 for part in range(4)]
    body = b"".join(value.to_bytes(3, "big", signed=True) for value in acc)
    return b"\x02" + body + struct.pack(">4h", *quat)


def pressure(counts=0x1C90):
    return struct.pack(">BBH", 3, 0, counts)


def index(name=b"d0001.dat", time=BASE, max_val=0x12345678):
    return struct.pack(">BBiHII", 4, 0, time, 456, 1234, max_val) + name[:16].ljust(16, b"\0")


def system(time=BASE, counts=(0xC142, 0x6590, 0x1C90, 0x3333, 0xB220, 0xB225)):
    return struct.pack(">BBi6H", 5, 0, time, *counts)


@pytest.fixture(scope="session")
def decode():
    return os.environ["DECODE_BINARY"]


@pytest.fixture(scope="session")
def make_sample():
    return os.environ["MAKE_SAMPLE"]


def csv_table(decode, paths, table, *extra):
    """The CSV table of `paths` and its standard error, from the program."""
    done = subprocess.run([decode, f"--csv={table}", *extra, *paths], capture_output=True)
    return done.stdout, done.stderr.decode()
