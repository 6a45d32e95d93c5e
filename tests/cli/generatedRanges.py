"""Day-long recordings from the generator, checked through --info=json: every
sensor stays within what a real logger could report (counts that wrap give
-50 degC next to 200 degC), and every channel's printed mean lies between its
printed min and max, equal to both when the channel never changes.

    generatedRanges.py <decode binary> <makeSample binary>
"""
import json
import os
import subprocess
import sys
import tempfile

DAY = 86400
# channel: (lowest, highest) a working logger could plausibly report
PLAUSIBLE = {
    "ext_press_bar": (0.9, 25.0),
    "int_press_psia": (10.0, 20.0),
    "temp_degC": (-5.0, 40.0),
    "hum_pct": (0.0, 100.0),
    "batt_V": (9.0, 13.0),
    "vmodem_V": (11.0, 13.0),
}


def info(decode, path):
    out = subprocess.run([decode, "--info=json", path], check=True, capture_output=True)
    return json.loads(out.stdout)


def check(kind, sensors):
    for channel, (lowest, highest) in PLAUSIBLE.items():
        figures = sensors[channel]
        assert lowest <= figures["min"] and figures["max"] <= highest, (kind, channel, figures)
        assert figures["min"] <= figures["mean"] <= figures["max"], (kind, channel, figures)
        if figures["min"] == figures["max"]:
            assert figures["mean"] == figures["min"], (kind, channel, figures)


def main():
    decode, make_sample = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        for kind in ("default", "deployment"):
            path = os.path.join(folder, kind + ".dat")
            subprocess.run([make_sample, path, str(DAY)] + ([kind] if kind == "deployment" else []), check=True)
            found = info(decode, path)
            os.remove(path)
            assert found["markers"]["last"].endswith("T23:59:59.000Z"), found["markers"]
            check(kind, found["sensors"])
    print("generated recordings: a day of each kind stays plausible, means within min and max")


main()
