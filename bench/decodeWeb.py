"""decode-web.html against the command line, in headless Chromium: how soon
the page is ready to take a file, its size, and the time the page takes to
decode the 50 MB benchmark recording for --csv=data and for the check, as a
share of the native command line's speed; then the check of a long
recording, with the WebAssembly memory it took.

    /usr/bin/python3 bench/decodeWeb.py BUILD [days]

BUILD holds decode, makeSample and decode-web.html (a build with the
WebAssembly toolchain). The long recording is `days` days at 100 Hz
(default 30: a month, 4.7 GB, made under /tmp and removed after).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

build = sys.argv[1]
days = int(sys.argv[2]) if len(sys.argv) > 2 else 30
build = os.path.abspath(build)
decode = os.path.join(build, "decode")
page = os.path.abspath(os.path.join(build, "decode-web.html"))
work = tempfile.mkdtemp(prefix="zolt-web-")


def native_seconds(args, rounds=3):
    best = None
    for _ in range(rounds):
        start = time.perf_counter()
        subprocess.run([decode, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def browser():
    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "deny"})
    return driver


def ready_milliseconds(driver):
    driver.get("file://" + page)
    while driver.execute_script("return document.body.dataset.ready") != "1":
        time.sleep(0.01)
    return driver.execute_script("return performance.getEntriesByName('decoder-ready')[0].startTime")


def page_run(driver, name, action, table=None, rounds=3):
    """The best of `rounds` runs' seconds, from the page's own clock, and the
    memory of the last."""
    best, memory = None, 0
    for _ in range(rounds):
        ready_milliseconds(driver)
        driver.find_element(By.ID, "picker").send_keys(os.path.join(work, name))
        if table:
            Select(driver.find_element(By.ID, "table")).select_by_value(table)
        driver.find_element(By.CSS_SELECTOR, f"button[data-run='{action}']").click()
        time.sleep(0.05)
        while driver.execute_script("return document.body.dataset.busy") == "1":
            time.sleep(0.05)
        run = driver.execute_script("return window.decoderState.lastRun")
        assert run and run["code"] == 0, run
        best = run["seconds"] if best is None else min(best, run["seconds"])
        memory = run["memoryBytes"]
    return best, memory


subprocess.run([os.path.join(build, "makeSample"), os.path.join(work, "recording.dat"), "27600"], check=True)
driver = browser()
try:
    ready = min(ready_milliseconds(driver) for _ in range(5))
    print(f"page: {os.path.getsize(page) / 1e6:.2f} MB, ready to take a file in {ready:.0f} ms (best of 5)")
    for label, action, table, args in (("--csv=data", "table", "data", ["--csv=data", "recording.dat"]),
                                       ("check (--info)", "check", None, ["--info", "recording.dat"])):
        native = native_seconds(args)
        seconds, memory = page_run(driver, "recording.dat", action, table)
        print(f"{label} on the 50 MB recording: page {seconds:.2f} s, command line {native:.2f} s: "
              f"{native / seconds:.2f}x the command line's speed; {memory / 2**20:.0f} MiB of WebAssembly memory")
    os.unlink(os.path.join(work, "recording.dat"))
    subprocess.run([os.path.join(build, "makeSample"), os.path.join(work, "long.dat"), str(days * 86400)], check=True)
    size = os.path.getsize(os.path.join(work, "long.dat"))
    seconds, memory = page_run(driver, "long.dat", "check", rounds=1)
    print(f"check of {days} days ({size / 1e9:.2f} GB): page {seconds:.1f} s, "
          f"{memory / 2**20:.0f} MiB of WebAssembly memory")
finally:
    driver.quit()
    shutil.rmtree(work)
