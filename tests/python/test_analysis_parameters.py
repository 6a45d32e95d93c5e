"""The analysis's keyword parameters: refused as the command line refuses
the option of the same name, with its words, and said in the frame's attrs."""

import subprocess

import pytest

import zolt
from conftest import SAMPLE

# (keywords, table, the option as the command line is given it)
REFUSED = [
    ({"latitude": 91}, "dives", "--latitude=91"),
    ({"latitude": -90.5}, "depth", "--latitude=-90.5"),
    ({"latitude": "north"}, "dives", "--latitude=north"),
    ({"water": "salty"}, "depth", "--water=salty"),
    ({"surface": float("nan")}, "depth", "--surface=nan"),
    ({"dive_depth": -1}, "dives", "--dive-depth=-1"),
    ({"dive_depth": 0}, "dives", "--dive-depth=0"),
    ({"surface_depth": 5}, "dives", "--surface-depth=5"),  # not below the dive depth of 2 m
    ({"dive_depth": 10, "surface_depth": 12}, "dives", "--surface-depth=12"),  # the later is blamed
    ({"min_dive": -3}, "dives", "--min-dive=-3"),
    ({"bottom_fraction": 1.5}, "dives", "--bottom-fraction=1.5"),
    ({"activity_window": 0}, "activity", "--activity-window=0"),
    ({"activity_window": True}, "activity", "--activity-window=True"),
]


@pytest.mark.parametrize("keywords,table,option", REFUSED)
def test_a_parameter_is_refused_with_the_command_lines_words(keywords, table, option, decode):
    given = dict(keywords)
    if "surface_depth" in given and "dive_depth" in given:
        options = [f"--dive-depth={given['dive_depth']}", option]
    else:
        options = [option]
    cli = subprocess.run([decode, f"--csv={table}", *options, SAMPLE], capture_output=True, text=True)
    assert cli.returncode == 2
    why = cli.stderr.strip().split(": ", 2)[2].removesuffix(" (see man decode)")
    for read in (zolt.read, zolt.read_arrays):
        with pytest.raises(ValueError) as refused:
            read(SAMPLE, table, **keywords)
        name = option[2:].split("=")[0].replace("-", "_")
        assert str(refused.value).startswith(f"{name}=") and str(refused.value).endswith(": " + why), refused.value


@pytest.mark.parametrize("table", ["data", "pressure", "marker"])
def test_the_record_tables_take_no_parameter(table):
    with pytest.raises(ValueError, match="dive_depth applies to the tables made from the analysis"):
        zolt.read(SAMPLE, table, dive_depth=3)
    with pytest.raises(ValueError, match="latitude applies"):
        zolt.read_arrays(SAMPLE, table, latitude=10, water="fresh")


def test_the_parameters_are_the_options_and_the_attrs_say_them(tmp_path, decode, make_sample):
    deployment = tmp_path / "dives.dat"
    subprocess.run([make_sample, str(deployment), "36000", "dives"], check=True, capture_output=True)
    cli = subprocess.run([decode, "--csv=dives", "--dive-depth=20", "--water=fresh", "--surface=1.01", str(deployment)],
                         capture_output=True, check=True).stdout
    frame = zolt.read(deployment, "dives", dive_depth=20, water="fresh", surface=1.01)
    assert len(frame) == cli.count(b"\n") - 1 < len(zolt.read(deployment, "dives"))
    attrs = frame.attrs
    assert (attrs["dive_depth_m"], attrs["water"], attrs["surface_pressure_bar"]) == (20, "fresh", 1.01)
    assert attrs["latitude_source"] == "default" and "surface_window_s" not in attrs
    assert attrs["units"]["max_depth_m"] == "m"
    depth = zolt.read(deployment, "depth", latitude=-33.9, end="2026-12-01T00:10")
    assert (depth.attrs["latitude"], depth.attrs["latitude_source"]) == (-33.9, "given")
    assert depth.attrs["surface_window_s"] == 21600 and "dive_depth_m" not in depth.attrs
