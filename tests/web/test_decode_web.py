"""decode-web.html in a real browser (Debian's headless Chromium): files
chosen in the page are decoded there, and every download is the command
line's output byte for byte, for a table of recordings and views; the page
makes no request and logs no error; Cancel stops a run; a file that is no
recording gets the command line's message.
"""

import datetime
import os
import subprocess
import time

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLE = os.path.join(SOURCE, "examples", "d0001.dat")
DECODE = os.environ["DECODE_BINARY"]
MAKE_SAMPLE = os.environ["MAKE_SAMPLE"]
PAGE = os.environ["DECODE_WEB_PAGE"]


@pytest.fixture(scope="module")
def recordings(tmp_path_factory):
    work = tmp_path_factory.mktemp("recordings")
    sample = open(SAMPLE, "rb").read()
    (work / "d0001.dat").write_bytes(sample)
    damaged = bytearray(sample)
    damaged[40000:40700] = bytes(700)  # a wiped stretch
    (work / "damaged.dat").write_bytes(bytes(damaged))
    (work / "headerless.dat").write_bytes(sample[18:])  # the header record is 18 bytes
    subprocess.run([MAKE_SAMPLE, str(work / "day.dat"), "86400"], check=True)
    (work / "notes.txt").write_text("not a recording\n")
    return work


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    downloads = tmp_path_factory.mktemp("downloads")
    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1600,1000"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    driver.downloads = downloads
    yield driver
    driver.quit()


def open_page(browser):
    browser.get("file://" + PAGE)
    deadline = time.time() + 30
    while browser.execute_script("return document.body.dataset.ready") != "1":
        assert time.time() < deadline, browser.find_element(By.ID, "messages").text
        time.sleep(0.05)


def choose(browser, paths, salvage=False):
    picker = browser.find_element(By.ID, "picker")
    picker.send_keys("\n".join(str(path) for path in paths))
    if browser.find_element(By.ID, "salvage").is_selected() != salvage:
        browser.find_element(By.ID, "salvage").click()


def run(browser, action, timeout=300):
    browser.find_element(By.CSS_SELECTOR, f"button[data-run='{action}']").click()
    deadline = time.time() + timeout
    time.sleep(0.05)
    while browser.execute_script("return document.body.dataset.busy") == "1":
        assert time.time() < deadline
        time.sleep(0.05)


def downloaded(browser, name, timeout=60):
    path = browser.downloads / name
    deadline = time.time() + timeout
    while not path.exists() or any(browser.downloads.glob("*.crdownload")):
        assert time.time() < deadline, f"{name} was not downloaded"
        time.sleep(0.05)
    data = path.read_bytes()
    path.unlink()
    return data


def command_line(recordings, args):
    return subprocess.run([DECODE, *args], cwd=recordings, capture_output=True).stdout


CASES = [
    # (files, salvage, what, command line words)
    (["d0001.dat"], False, "report", []),
    (["d0001.dat"], False, "data", ["--csv=data"]),
    (["d0001.dat"], False, "dives", ["--csv=dives"]),
    (["damaged.dat"], False, "report", []),
    (["damaged.dat"], True, "data", ["--csv=data", "--salvage"]),
    (["damaged.dat"], True, "pressure", ["--csv=pressure", "--salvage"]),
    (["headerless.dat"], False, "system", ["--csv=system"]),
    (["headerless.dat", "d0001.dat"], False, "marker", ["--csv=marker"]),
    (["day.dat"], False, "report", []),
    (["day.dat"], False, "pressure", ["--csv=pressure"]),
]


@pytest.mark.parametrize("names,salvage,what,words", CASES)
def test_every_download_is_the_command_lines(browser, recordings, names, salvage, what, words):
    open_page(browser)
    choose(browser, [recordings / name for name in names], salvage)
    base = sorted(names)[0].removesuffix(".dat") + (f"-and-{len(names) - 1}-more" if len(names) > 1 else "")
    if what == "report":
        run(browser, "report")
        got = downloaded(browser, f"{base}-report.txt")
    else:
        Select(browser.find_element(By.ID, "table")).select_by_value(what)
        run(browser, "table")
        got = downloaded(browser, f"{base}-{what}.csv")
    assert got == command_line(recordings, [*words, *sorted(names)])


def test_check_and_plot_offline_without_an_error(browser, recordings):
    open_page(browser)
    browser.get_log("browser")
    browser.get_log("performance")
    choose(browser, [recordings / "damaged.dat"], salvage=True)
    run(browser, "check")
    shown = browser.find_element(By.ID, "check").text
    assert shown.strip() == command_line(recordings, ["--info", "--salvage", "damaged.dat"]).decode().strip()
    run(browser, "plot")
    frame = browser.find_element(By.ID, "plot")
    assert frame.is_displayed()
    browser.switch_to.frame(frame)
    deadline = time.time() + 30
    while not browser.find_elements(By.CSS_SELECTOR, ".uplot"):
        assert time.time() < deadline, "the plot did not draw"
        time.sleep(0.1)
    browser.switch_to.default_content()
    errors = [entry for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]
    assert errors == []
    requests = [entry for entry in browser.get_log("performance") if '"Network.requestWillBeSent"' in entry["message"]
                and '"url":"blob:' not in entry["message"] and '"url":"data:' not in entry["message"]]
    assert requests == []


def test_a_file_that_is_no_recording_gets_the_command_lines_message(browser, recordings):
    open_page(browser)
    choose(browser, [recordings / "notes.txt"])
    run(browser, "check")
    expected = subprocess.run([DECODE, "--info", "notes.txt"], cwd=recordings, capture_output=True, text=True)
    messages = browser.find_element(By.ID, "messages").text
    assert expected.stderr.strip() in messages
    assert f"status {expected.returncode} in" in messages


def test_cancel_stops_a_run(browser, recordings):
    open_page(browser)
    choose(browser, [recordings / "day.dat"])
    Select(browser.find_element(By.ID, "table")).select_by_value("data")
    browser.find_element(By.CSS_SELECTOR, "button[data-run='table']").click()
    time.sleep(0.3)
    assert browser.execute_script("return document.body.dataset.busy") == "1"
    browser.find_element(By.ID, "cancel").click()
    assert browser.execute_script("return document.body.dataset.busy") == ""
    assert "Cancelled." in browser.find_element(By.ID, "messages").text
    assert not list(browser.downloads.glob("day-data.csv"))


def test_a_view_finer_than_the_plot_holds_is_made_again_with_every_sample(browser, recordings):
    open_page(browser)
    choose(browser, [recordings / "day.dat"])
    run(browser, "plot")
    frame = browser.find_element(By.ID, "plot")
    browser.switch_to.frame(frame)
    deadline = time.time() + 30
    while not browser.find_elements(By.CSS_SELECTOR, ".uplot"):
        assert time.time() < deadline, "the plot did not draw"
        time.sleep(0.1)
    # A tenth of a second: far finer than the buckets a day's page holds.
    noon = int(datetime.datetime(2026, 12, 1, 12, tzinfo=datetime.timezone.utc).timestamp()) * 1_000_000
    browser.execute_script("window.zoltView.setView(arguments[0], arguments[1]);", noon, noon + 100_000)
    deadline = time.time() + 10
    while not [b for b in browser.find_elements(By.CSS_SELECTOR, ".note button") if b.is_displayed()]:
        assert time.time() < deadline, "no offer of every sample"
        time.sleep(0.1)
    [b for b in browser.find_elements(By.CSS_SELECTOR, ".note button") if b.is_displayed()][0].click()
    browser.switch_to.default_content()
    time.sleep(0.2)
    deadline = time.time() + 120
    while browser.execute_script("return document.body.dataset.busy") == "1":
        assert time.time() < deadline
        time.sleep(0.1)
    run_args = browser.execute_script("return window.decoderState.lastRun.args")
    assert run_args[:3] == ["--html=page.html", "--from=2026-12-01T12:00:00.000", "--to=2026-12-01T12:00:00.100"]
    browser.switch_to.frame(browser.find_element(By.ID, "plot"))
    deadline = time.time() + 30
    while not browser.find_elements(By.CSS_SELECTOR, ".uplot"):
        assert time.time() < deadline, "the window's plot did not draw"
        time.sleep(0.1)
    notes = [n for n in browser.find_elements(By.CSS_SELECTOR, ".note") if n.is_displayed()]
    browser.switch_to.default_content()
    assert notes == []
