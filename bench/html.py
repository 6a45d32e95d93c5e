"""The interactive page's figures: how fast it is written against --plot on
the 50 MB benchmark recording, the memory and time of a month's page, each
page's size, and in headless Chromium how soon it is ready and how long a
zoom or a pan takes to redraw (from the page's own performance marks).

    /usr/bin/python3 bench/html.py BUILD [rounds] [days]

BUILD holds decode and makeSample (bench/run.sh makes build-bench).
"""

import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service

build = sys.argv[1]
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 11
days = int(sys.argv[3]) if len(sys.argv) > 3 else 30
decode = os.path.join(build, "decode")
make_sample = os.path.join(build, "makeSample")
work = tempfile.mkdtemp(prefix="zolt-html-")


def recording(name, seconds):
    path = os.path.join(work, name)
    subprocess.run([make_sample, path, str(seconds)], check=True)
    return path


def wall(args):
    started = time.perf_counter()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - started


def peak(args):
    done = subprocess.run(["/usr/bin/time", "-f", "%M %e", *args], check=True, capture_output=True, text=True)
    kib, seconds = done.stderr.split()[-2:]
    return int(kib), float(seconds)


hour = recording("hour.dat", 3600)
fifty = recording("fifty.dat", 27600)
day = recording("day.dat", 86400)
month = recording("month.dat", days * 86400)
pages = {name: os.path.join(work, name + ".html") for name in ("hour", "fifty", "day", "month")}

# Writing, against the picture, in turns so that a drift of the machine's
# speed touches both.
html, plot = [], []
for _ in range(rounds):
    html.append(wall([decode, f"--html={pages['fifty']}", fifty]))
    plot.append(wall([decode, f"--plot={os.path.join(work, 'fifty.svg')}", fifty]))
ratios = sorted(p / h for h, p in zip(html, plot))
size = os.path.getsize(fifty)
print(f"50 MB recording: --html {statistics.median(html) * 1e3:.1f} ms, --plot {statistics.median(plot) * 1e3:.1f} ms "
      f"(median of {rounds}); --html at {statistics.median(ratios):.2f}x the speed of --plot "
      f"(best {ratios[-1]:.2f}x; target at least 0.5x); {size / statistics.median(html) / 1e6:.0f} MB/s")

for name, path in (("hour", hour), ("day", day), ("month", month)):
    kib, seconds = peak([decode, f"--html={pages[name]}", path])
    print(f"{name} ({os.path.getsize(path)} bytes): written in {seconds:.2f} s, peak {kib / 1024:.1f} MiB")
for name, page in pages.items():
    with open(page, encoding="utf-8") as text:
        said = text.read().split('<p id="resolution">', 1)[1].split("</p>", 1)[0]
        text.seek(0)
        meta = json.loads(text.read().split('id="zolt-meta">', 1)[1].split("</script>", 1)[0])
    data = next(group for group in meta["groups"] if group["name"] == "data")
    # The page's room for buckets at the default budget: one for each 64
    # bytes of its 20 MB.
    room = 20_000_000 // 64
    filled = f", {data['count']} data buckets, {data['count'] / room:.1%} of the room" if data["buckets"] else ""
    print(f"{name} page: {os.path.getsize(page)} bytes{filled}; {said}")
print(f"hour page against its records: {os.path.getsize(pages['hour']) / os.path.getsize(hour):.2f}x (target 1.5x)")

options = Options()
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
    options.add_argument(argument)
browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
# The screen the page is made for.
browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                        {"width": 1600, "height": 1000, "deviceScaleFactor": 1, "mobile": False})
browser.set_script_timeout(120)
MEASURE = """
const done = arguments[arguments.length - 1];
window.zoltView.ready.then(() => {
  const ready = performance.getEntriesByName('zolt-ready')[0].startTime;
  const full = window.zoltView.full();
  const before = window.zoltView.redraws.length;
  for (let k = 1; k <= 10; k++) {            // zooms in, down to a few samples
    const span = (full[1] - full[0]) / Math.pow(4, k);
    window.zoltView.setView(full[0] + 1.5 * span, full[0] + 2.5 * span);
  }
  for (let k = 0; k < 10; k++) {             // pans
    const v = window.zoltView.view();
    window.zoltView.setView(v[0] + (v[1] - v[0]) / 3, v[1] + (v[1] - v[0]) / 3);
  }
  window.zoltView.setView(full[0], full[1]); // and back out
  done({ready, redraws: window.zoltView.redraws.slice(before)});
});
"""
for name, page in pages.items():
    readies, worst = [], []
    for _ in range(3):
        browser.get("file://" + page)
        figures = browser.execute_async_script(MEASURE)
        readies.append(figures["ready"])
        worst.append(max(figures["redraws"]))
    print(f"{name} page in Chromium: ready in {statistics.median(readies):.0f} ms (target 1500), "
          f"slowest of 21 redraws {statistics.median(worst):.0f} ms (target 50)")
browser.quit()
subprocess.run(["rm", "-rf", work], check=True)
