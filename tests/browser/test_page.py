"""The interactive page in a real browser (Debian's headless Chromium,
driven by chromedriver): it loads offline without a request or an error,
draws the true least and greatest value at every zoom, zooms by a drag to
just the span dragged across and the address keeps it, tells the exact
value under the cursor, draws the bucket that covers a view narrower than
one, and lays its panels out alike at any zoom.

The pages come from decode; the values they are held to come from zolt.read.
"""

import io
import json
import os
import re
import shlex
import subprocess

import pandas
import pytest
from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

import zolt

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAMPLE = os.path.join(SOURCE, "examples", "d0001.dat")
DECODE = os.environ["DECODE_BINARY"]
MAKE_SAMPLE = os.environ["MAKE_SAMPLE"]
SPIKE = 0x7FFFFF  # the greatest acceleration count


def with_spike(recording, nth_data):
    """The recording with one data record's acc_z at the greatest count."""
    data = bytearray(recording)
    at, seen = 0, 0
    sizes = {0: 18, 1: 6, 2: 18, 3: 4, 4: 32, 5: 18}
    while True:
        if data[at] == 2:
            if seen == nth_data:
                data[at + 7:at + 10] = SPIKE.to_bytes(3, "big")
                return bytes(data)
            seen += 1
        at += sizes[data[at]]


@pytest.fixture(scope="module")
def pages(tmp_path_factory):
    work = tmp_path_factory.mktemp("pages")
    minute = with_spike(open(SAMPLE, "rb").read(), 3210)
    (work / "spike.dat").write_bytes(minute)
    subprocess.run([MAKE_SAMPLE, str(work / "ten.dat"), "600"], check=True)
    (work / "tenspike.dat").write_bytes(with_spike((work / "ten.dat").read_bytes(), 45678))
    subprocess.run([MAKE_SAMPLE, str(work / "deployment.dat"), "10800", "deployment"], check=True)
    subprocess.run([MAKE_SAMPLE, str(work / "day.dat"), "86400"], check=True)
    made = {"sample": (SAMPLE, []), "spike": (work / "spike.dat", []), "deployment": (work / "deployment.dat", []),
            # A budget too small for every sample: envelopes.
            "buckets": (work / "tenspike.dat", ["--html-budget=1"]),
            "day": (work / "day.dat", []),
            # Buckets of tens of seconds, whatever the default budget holds.
            "coarse day": (work / "day.dat", ["--html-budget=1"])}
    out = {}
    for name, (recording, extra) in made.items():
        page = work / f"{name.replace(' ', '-')}.html"
        # Named as a user names them, from where they lie.
        shown = os.path.relpath(recording, work)
        subprocess.run([DECODE, f"--html={page}", *extra, shown], check=True, cwd=work)
        out[name] = (page, str(recording))
    yield out
    (work / "day.dat").unlink()  # 150 MB that pytest would keep with its last runs


@pytest.fixture(scope="module")
def browser():
    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1600,1000"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    # The window's inside, not its frame, at 1600x1000: the screen the page is made for.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 1600, "height": 1000, "deviceScaleFactor": 1, "mobile": False})
    driver.set_script_timeout(60)
    yield driver
    driver.quit()


def open_page(browser, page, fragment=""):
    browser.get("file://" + str(page) + fragment)
    return browser.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "window.zoltView.ready.then(() => done('ready'), (e) => done('failed: ' + e));")


def visible(browser):
    return browser.execute_script("return window.zoltView.visible();")


def set_view(browser, start_us, end_us):
    browser.execute_script("window.zoltView.setView(arguments[0], arguments[1]);", start_us, end_us)


def micros(timestamp):
    return timestamp.value // 1000


ACCELERATION = 5  # the panel of the accelerations, among the eight
PANELS = 8


@pytest.mark.parametrize("name", ["sample", "spike", "buckets"])
def test_loads_offline_without_an_error(browser, pages, name):
    browser.get_log("browser")
    browser.get_log("performance")
    assert open_page(browser, pages[name][0]) == "ready"
    errors = [entry for entry in browser.get_log("browser") if entry["level"] in ("SEVERE", "WARNING")]
    assert errors == []
    requests = [json.loads(entry["message"])["message"] for entry in browser.get_log("performance")]
    urls = [m["params"]["request"]["url"] for m in requests if m["method"] == "Network.requestWillBeSent"]
    assert all(url.startswith("file://") and url.split("#")[0].endswith(".html") for url in urls), urls
    # The page forbids the network itself.
    policy = browser.execute_script(
        "return document.querySelector('meta[http-equiv=\"Content-Security-Policy\"]').content;")
    assert "default-src 'none'" in policy


@pytest.mark.parametrize("name,span_s", [("spike", 1.0), ("buckets", 1.28)])
def test_draws_the_true_least_and_greatest_at_every_zoom(browser, pages, name, span_s):
    page, recording = pages[name]
    frame = zolt.read(recording)
    spike = frame[frame["acc_z"] == frame["acc_z"].max()].iloc[0]
    open_page(browser, page)
    drawn = visible(browser)
    for column in ("acc_x", "acc_z", "quat_0"):
        assert (drawn[column]["min"], drawn[column]["max"]) == (frame[column].min(), frame[column].max())
    # The system's channels are stored as ranks among the counts that occur.
    system = zolt.read(recording, "system")
    for column in ("temp_degC", "batt_V"):
        assert (drawn[column]["min"], drawn[column]["max"]) == (system[column].min(), system[column].max()), column
    # A span around the spike: a second, or about `span_s` of whole
    # buckets, whose edges it lies on.
    start = micros(spike["time"])
    data = next(group for group in page_meta(browser)["groups"] if group["name"] == "data")
    length = int(span_s * 1e6)
    if data["buckets"]:
        length = max(1, round(length / data["bucketMicros"])) * data["bucketMicros"]
    start -= start % length
    set_view(browser, start, start + length)
    window = zolt.read(recording, start=pd_time(start), end=pd_time(start + length))
    drawn = visible(browser)
    for column in ("acc_x", "acc_z", "quat_1"):
        assert (drawn[column]["min"], drawn[column]["max"]) == (window[column].min(), window[column].max()), column
    assert drawn["acc_z"]["max"] == SPIKE / 65536
    if name == "spike":
        assert drawn["acc_z"]["samples"] and drawn["acc_z"]["points"] == len(window)


def pd_time(us):
    return pandas.Timestamp(us * 1000, tz="UTC")


def drag_across(browser, over, from_px, to_px):
    """A drag across `over` between two pixel columns from its left edge."""
    centre = over.size["width"] // 2
    ActionChains(browser).move_to_element_with_offset(over, from_px - centre, 0).click_and_hold() \
        .move_by_offset(to_px - from_px, 0).release().perform()


# Where a drag begins and ends, as parts of the panel's width, or a few
# pixels from where it begins: a slip of the hand that zooms nowhere.
@pytest.mark.parametrize("name,begin,end", [
    ("spike", 0.25, 0.5),
    ("day", 0.25, 0.75),
    ("day", 0.6, 0.7),
    ("day", 0.5, "3 px"),
])
def test_a_drag_zooms_to_the_span_dragged_across(browser, pages, name, begin, end):
    page = pages[name][0]
    open_page(browser, page)
    full = browser.execute_script("return window.zoltView.view();")
    over = browser.find_elements(By.CSS_SELECTOR, ".u-over")[ACCELERATION]
    width = over.size["width"]
    from_px = round(begin * width)
    to_px = from_px + 3 if end == "3 px" else round(end * width)
    drag_across(browser, over, from_px, to_px)
    zoomed = browser.execute_script("return window.zoltView.view();")
    if end == "3 px":
        assert zoomed == full
        return
    pixel = (full[1] - full[0]) / width
    assert zoomed[1] - zoomed[0] == pytest.approx((to_px - from_px) * pixel, abs=pixel)
    assert zoomed[0] == pytest.approx(full[0] + from_px * pixel, abs=pixel)
    fragment = browser.execute_script("return location.hash;")
    assert fragment.startswith("#from=") and "&to=" in fragment
    open_page(browser, page, fragment)
    restored = browser.execute_script("return window.zoltView.view();")
    assert restored == pytest.approx(zoomed, abs=1)


def test_hover_tells_the_exact_value_of_the_nearest_sample(browser, pages):
    page, recording = pages["spike"]
    frame = zolt.read(recording)
    spike = frame[frame["acc_z"] == frame["acc_z"].max()].iloc[0]
    open_page(browser, page)
    start = micros(spike["time"]) - 50000
    set_view(browser, start, start + 100000)  # ten samples
    over = browser.find_elements(By.CSS_SELECTOR, ".u-over")[ACCELERATION]
    # The spike lies in the middle of the view: the cursor goes there.
    ActionChains(browser).move_to_element(over).perform()
    readout = browser.find_elements(By.CSS_SELECTOR, ".readout")[ACCELERATION]
    assert readout.is_displayed()
    text = readout.text
    csv = subprocess.run([DECODE, "--csv=data", recording], capture_output=True, text=True).stdout.splitlines()
    row = next(line for line in csv[1:] if float(line.split(",")[4]) == SPIKE / 65536)
    fields = row.split(",")
    assert text.startswith(fields[0]), text
    # Told to four decimals, as the panel's channels are.
    for name, field in (("x", 2), ("y", 3), ("z", 4)):
        told = re.search(rf"^{name} (\S+) record units$", text, re.M).group(1)
        assert told == f"{float(fields[field]):.4f}", (name, text)


def test_a_deployment_page_is_drawn(browser, pages, tmp_path):
    open_page(browser, pages["deployment"][0])
    shot = tmp_path / "page.png"
    browser.save_screenshot(str(shot))
    canvases = browser.find_elements(By.CSS_SELECTOR, ".uplot canvas")
    assert len(canvases) == PANELS
    for canvas in canvases:
        # A canvas that drew a trace has pixels that are neither white nor
        # the grid's grey.
        coloured = browser.execute_script(
            "const c = arguments[0]; const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;"
            "let n = 0; for (let i = 0; i < d.length; i += 4) {"
            "  const r = d[i], g = d[i + 1], b = d[i + 2], a = d[i + 3];"
            "  if (a > 0 && (Math.abs(r - g) > 30 || Math.abs(g - b) > 30 || Math.abs(r - b) > 30)) n++; }"
            "return n;", canvas)
        assert coloured > 200
    keep = os.environ.get("PAGE_SCREENSHOT")
    if keep:
        os.replace(shot, keep)


def page_meta(browser):
    return browser.execute_script("return JSON.parse(document.getElementById('zolt-meta').textContent);")


NOON = 1796126400 * 10**6  # of the sample's day, 2026-12-01


# Views that do not lie on the edges of buckets: where in a bucket a view
# begins, as a part of the bucket, and how long it is in seconds. The cursor
# goes to the view's middle.
@pytest.mark.parametrize("begin,seconds", [
    (0.7, 1.0),  # within one bucket, nearer the next one's start
    (0.97, 2.0),  # across the edge of two
    (0.4, 0.003),
])
def test_a_view_narrower_than_a_bucket_draws_and_tells_the_bucket_that_covers_it(browser, pages, begin, seconds):
    page, recording = pages["coarse day"]
    open_page(browser, page)
    data = next(group for group in page_meta(browser)["groups"] if group["name"] == "data")
    bucket = data["bucketMicros"]
    assert data["buckets"] and bucket > 2 * 10**6
    # Buckets lie on whole multiples of their length since 1970.
    first = NOON - NOON % bucket
    start = first + int(begin * bucket)
    end = start + int(seconds * 1e6)
    last = end - end % bucket + bucket
    set_view(browser, start, end)
    covered = zolt.read(recording, start=pd_time(first), end=pd_time(last))
    drawn = visible(browser)
    for column in ("acc_x", "acc_z", "quat_1"):
        assert (drawn[column]["min"], drawn[column]["max"]) == (covered[column].min(), covered[column].max()), column
    cursor = (start + end) // 2
    readout = browser.execute_script("return window.zoltView.hoverAt(arguments[0]);", cursor)[ACCELERATION]
    named = micros(pandas.Timestamp(readout.split()[0]))
    assert named <= cursor < named + bucket, readout
    # The panel tells that the page holds nothing finer, and the command it
    # gives writes a page of the view with every sample.
    note = browser.find_elements(By.CSS_SELECTOR, ".panel .note")[0]
    assert note.is_displayed()
    command = re.search(r"decode (--html=\S+ .*)$", note.get_attribute("textContent")).group(1)
    arguments = shlex.split(command.replace("OUT.html", "window.html"))
    work = os.path.dirname(page)
    subprocess.run([DECODE, *arguments], check=True, cwd=work)
    window = zolt.read(recording, start=pd_time(start - start % 1000), end=pd_time(-(-end // 1000) * 1000))
    written = open(os.path.join(work, "window.html")).read()
    meta = json.loads(re.search(r'id="zolt-meta">(.*?)</script>', written, re.S).group(1))
    finer = next(group for group in meta["groups"] if group["name"] == "data")
    assert not finer["buckets"] and finer["count"] == len(window)


# For each panel: where its plotting area lies on the page, how many pixels
# of text its left-hand axis holds, how many of a trace its plotting area
# holds, and how many of text touch the canvas's left or right edge.
INK = """
return [...document.querySelectorAll('.uplot')].map((plot) => {
  const canvas = plot.querySelector('canvas');
  const over = plot.querySelector('.u-over').getBoundingClientRect();
  const box = canvas.getBoundingClientRect();
  const ratio = canvas.width / box.width;
  const d = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const plotLeft = (over.left - box.left) * ratio, plotRight = (over.right - box.left) * ratio;
  const plotTop = (over.top - box.top) * ratio, plotBottom = (over.bottom - box.top) * ratio;
  let axisText = 0, trace = 0, atEdge = 0;
  for (let y = 0; y < canvas.height; y++) {
    for (let x = 0; x < canvas.width; x++) {
      const i = 4 * (y * canvas.width + x), r = d[i], g = d[i + 1], b = d[i + 2], a = d[i + 3];
      const text = a > 128 && r < 100 && g < 100 && b < 100;
      const coloured = a > 0 && (Math.abs(r - g) > 30 || Math.abs(g - b) > 30 || Math.abs(r - b) > 30);
      const inside = x >= plotLeft && x < plotRight && y >= plotTop && y < plotBottom;
      if (text && x < plotLeft - 2 && y < plotBottom) axisText++;
      if (coloured && inside) trace++;
      if (text && (x < 2 || x >= canvas.width - 2)) atEdge++;
    }
  }
  return { left: over.left, width: over.width, axisText, trace, atEdge };
});
"""


@pytest.mark.parametrize("name", ["day", "coarse day"])
def test_a_second_of_a_day_is_drawn_in_every_panel_alike(browser, pages, name):
    open_page(browser, pages[name][0])
    start = NOON + 123456  # on no bucket's edge
    set_view(browser, start, start + 10**6)
    over = browser.find_elements(By.CSS_SELECTOR, ".u-over")[ACCELERATION]
    ActionChains(browser).move_to_element(over).perform()
    panels = browser.execute_script(INK)
    assert len(panels) == PANELS
    for panel in panels:
        assert (panel["left"], panel["width"]) == (panels[0]["left"], panels[0]["width"]), panels
        assert panel["axisText"] > 30 and panel["trace"] > 200 and panel["atEdge"] == 0, panel
    # The cursor's lines stay in the plotting areas, off the headings.
    for plot in browser.find_elements(By.CSS_SELECTOR, ".uplot"):
        area = plot.find_element(By.CSS_SELECTOR, ".u-over").rect
        for line in plot.find_elements(By.CSS_SELECTOR, ".u-cursor-x, .u-cursor-y"):
            if not line.is_displayed():
                continue
            box = line.rect
            assert area["y"] <= box["y"] and box["y"] + box["height"] <= area["y"] + area["height"] + 1, box
            assert area["x"] <= box["x"] and box["x"] + box["width"] <= area["x"] + area["width"] + 1, box


@pytest.mark.parametrize("name", ["sample", "deployment", "coarse day"])
def test_every_panel_lies_on_the_first_screen(browser, pages, name):
    open_page(browser, pages[name][0])
    layout = browser.execute_script("return window.zoltView.layout();")
    assert len(layout) == PANELS
    assert all(panel["bottom"] <= 1000 for panel in layout), layout
    # The controls stand above the panels, not over them.
    controls = browser.find_element(By.ID, "controls").rect
    assert controls["y"] + controls["height"] <= layout[0]["top"]



def panel_sizes(browser):
    """Each panel's height on the page and its canvas's height, in pixels."""
    return browser.execute_script(
        "return [...document.querySelectorAll('.panel')].map((p) => ({ box: p.getBoundingClientRect().height,"
        " canvas: p.querySelector('canvas').height }));")


def test_a_panels_lower_edge_sets_its_height_and_a_double_click_restores_it(browser, pages):
    open_page(browser, pages["sample"][0])
    before = panel_sizes(browser)
    grip = browser.find_elements(By.CSS_SELECTOR, ".panel .grip")[2]
    ActionChains(browser).click_and_hold(grip).move_by_offset(0, 120).release().perform()
    after = panel_sizes(browser)
    assert (after[2]["box"], after[2]["canvas"]) == (before[2]["box"] + 120, before[2]["canvas"] + 120)
    assert after[:2] + after[3:] == before[:2] + before[3:]
    # From the keyboard, and no lower than the least height: 60 px and the
    # axis's 2.
    grip.send_keys(Keys.SHIFT + Keys.ARROW_UP * 6)
    assert panel_sizes(browser)[2]["canvas"] == 62
    ActionChains(browser).double_click(grip).perform()
    assert panel_sizes(browser) == before


def top_axis(browser):
    return browser.execute_script("return window.zoltView.timeAxis().top;")


def test_a_time_axis_stands_on_top_while_the_page_is_taller_than_the_window(browser, pages):
    open_page(browser, pages["coarse day"][0])
    assert top_axis(browser) is None and browser.find_elements(By.CSS_SELECTOR, ".top-axis") == []
    grip = browser.find_elements(By.CSS_SELECTOR, ".panel .grip")[0]
    ActionChains(browser).click_and_hold(grip).move_by_offset(0, 300).release().perform()
    top = top_axis(browser)
    assert browser.find_element(By.CSS_SELECTOR, ".top-axis").is_displayed() and "UTC" in top["label"]
    assert top["ticks"] == browser.execute_script("return window.zoltView.timeAxis().ticks;")
    assert [label for label in top["ticks"] if label][0].split("\n")[-1] == "2026-12-01"
    # It stays in view as the page scrolls.
    assert browser.execute_script("window.scrollTo(0, 400);"
                                  "return document.querySelector('.top-axis').getBoundingClientRect().top;") == 0
    ActionChains(browser).double_click(grip).perform()
    assert top_axis(browser) is None
    # A window too short for the panels at their least height.
    try:
        browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                {"width": 1600, "height": 500, "deviceScaleFactor": 1, "mobile": False})
        browser.execute_script("return new Promise((done) => requestAnimationFrame(done));")
        assert top_axis(browser) is not None
    finally:
        browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                {"width": 1600, "height": 1000, "deviceScaleFactor": 1, "mobile": False})
    browser.execute_script("return new Promise((done) => requestAnimationFrame(done));")
    assert top_axis(browser) is None

# Views and the labels the time axis gives them: the date where the view
# begins, and the decimals of a second that the ticks' step needs.
@pytest.mark.parametrize("start,seconds,shape", [
    (0, 86400, r"^\d\d:\d\d$"),
    (NOON + 123456, 60, r"^\d\d:\d\d:\d\d$"),
    (NOON + 123456, 1, r"^\d\d:\d\d:\d\d\.\d{1,2}$"),
    (NOON + 123456, 0.01, r"^\d\d:\d\d:\d\d\.\d{3,4}$"),
])
def test_the_time_axis_tells_the_date_and_utc_at_the_precision_the_view_needs(browser, pages, start, seconds, shape):
    open_page(browser, pages["coarse day"][0])
    if start:
        set_view(browser, start, start + int(seconds * 1e6))
    axis = browser.execute_script("return window.zoltView.timeAxis();")
    assert "UTC" in axis["label"]
    labels = [label for label in axis["ticks"] if label is not None]
    assert len(labels) >= 3, labels
    assert labels[0].split("\n")[-1] == "2026-12-01", labels
    for label in labels:
        assert re.match(shape, label.split("\n")[0]), labels


def test_the_exported_csv_of_a_view_holds_what_decode_writes_for_it(browser, pages):
    page, recording = pages["sample"]
    open_page(browser, page)
    start = 1796083200 * 10**6 + 12_345_678  # 2026-12-01T00:00:12.345678Z, on no sample
    set_view(browser, start, start + 1_500_000)
    exported = browser.execute_script("return window.zoltView.csv();").splitlines()
    header = exported[0].split(",")
    columns = ["acc_x", "acc_y", "acc_z", "quat_0", "quat_1", "quat_2", "quat_3"]
    at = [header.index(column) for column in columns]
    rows = [line.split(",") for line in exported[1:]]
    data = [[row[0]] + [row[i] for i in at] for row in rows if row[at[0]] != ""]
    written = subprocess.run([DECODE, "--csv=data", "--from=2026-12-01T00:00:12.345678",
                              "--to=2026-12-01T00:00:13.845678", recording],
                             capture_output=True, text=True, check=True).stdout.splitlines()
    expected = [[line.split(",")[0]] + line.split(",")[2:] for line in written[1:]]
    assert data == expected and len(data) == 150
    png = browser.execute_script("return window.zoltView.png();")
    assert png.startswith("data:image/png;base64,") and len(png) > 10000


def test_screenshots(browser, pages):
    """With PAGE_SCREENSHOTS set to a folder: the whole run, a minute, a
    second and a hover, as README shows them."""
    folder = os.environ.get("PAGE_SCREENSHOTS")
    if not folder:
        pytest.skip("PAGE_SCREENSHOTS names no folder")
    page = pages["deployment"][0]
    open_page(browser, page)
    browser.save_screenshot(os.path.join(folder, "page-full.png"))
    start = browser.execute_script("return window.zoltView.full();")[0] + 3600 * 10**6 + 250_000
    for name, seconds in (("minute", 60), ("second", 1)):
        set_view(browser, start, start + seconds * 10**6)
        browser.save_screenshot(os.path.join(folder, f"page-{name}.png"))
    over = browser.find_elements(By.CSS_SELECTOR, ".u-over")[ACCELERATION]
    ActionChains(browser).move_to_element_with_offset(over, -over.size["width"] // 5, 0).perform()
    browser.save_screenshot(os.path.join(folder, "page-hover.png"))


# Views on no bucket's edge, long enough that the page draws them from the
# coarser levels of its pyramid: what it draws is the least and greatest of
# the envelopes of the level that meet the view, as zolt.read finds them.
@pytest.mark.parametrize("seconds,level", [(30, 0), (12 * 3600, 1), (23 * 3600, 2)])
def test_unaligned_views_draw_the_true_envelopes_of_every_level(browser, pages, seconds, level):
    page, recording = pages["day"]
    open_page(browser, page)
    data = next(group for group in page_meta(browser)["groups"] if group["name"] == "data")
    assert data["buckets"] and data["bucketMicros"] <= 320000  # the finest a day's page holds
    start = NOON - 12 * 3600 * 10**6 + 123457
    end = start + seconds * 10**6
    set_view(browser, start, end)
    drawn = visible(browser)
    assert drawn["acc_x"]["level"] == level
    bucket = data["bucketMicros"] * drawn["acc_x"]["fan"] ** level
    # The run begins at midnight, on the edge of a bucket of every level.
    first = start - start % bucket
    last = end - end % bucket + bucket
    covered = zolt.read(recording, start=pd_time(first), end=pd_time(last))
    for column in ("acc_x", "acc_z", "quat_1"):
        assert (drawn[column]["min"], drawn[column]["max"]) == (covered[column].min(), covered[column].max()), \
            (column, level)


def decoded_table(table, recording):
    written = subprocess.run([DECODE, f"--csv={table}", recording], capture_output=True, text=True, check=True).stdout
    return pandas.read_csv(io.StringIO(written))


def test_a_deployment_page_draws_depth_down_from_the_surface_with_its_dives_shaded_and_named(browser, pages):
    page, recording = pages["deployment"]
    depth = decoded_table("depth", recording)
    dives = decoded_table("dives", recording)
    assert len(dives) > 1
    open_page(browser, page)
    layout = browser.execute_script("return window.zoltView.layout();")
    assert [panel["title"] for panel in layout][0] == "Depth"
    axis = browser.execute_script("return window.zoltView.valueAxes();")["Depth"]
    assert axis["top"] <= 0 < axis["bottom"], axis
    assert axis["shadedDives"] == len(dives)
    # Told to four decimals, as --csv=depth writes it.
    assert visible(browser)["depth_m"]["max"] == pytest.approx(depth["depth"].max(), abs=0.5e-4)
    # The dive under the cursor is named in the readout, with its ends and
    # greatest depth.
    dive = dives.iloc[len(dives) // 2]
    start, end = (micros(pandas.Timestamp(dive[side])) for side in ("start", "end"))
    readout = browser.execute_script("return window.zoltView.hoverAt(arguments[0]);", (start + end) // 2)[0]
    named = re.search(r"^dive (\d+): (\S+) to (\S+) \(.*\), max depth (\S+) m$", readout, re.M)
    assert named, readout
    assert int(named.group(1)) == dive["number"] and float(named.group(4)) == dive["max_depth_m"]
    for told, expected in ((named.group(2), start), (named.group(3), end)):
        assert abs(micros(pandas.Timestamp(told)) - expected) < 1000, (told, readout)
