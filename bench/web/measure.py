#!/usr/bin/env python3
"""Figures of the web page (BENCHMARKS.md, "The page in a browser").

    bench/web/measure.py PAGE_FOLDER [--seconds S] [--rounds N]

Every file's size, raw and gzip -9; from navigation to the first picture on
127.0.0.1, the cache off (median of 10, headless); then, in Chromium with a
window of its own (run it under Xvfb), the program's frames, the page's
wakes (the times the program waited for the browser) and presents per
second and the CPU time of all the browser's processes over S seconds (20)
at rest on the title, at rest in a match, while a piece moves and while an
announcement rises, on a 1024x768 page; the program's frames are those it
counts itself. All of it in three ways, one after the other: with every
frame waiting for its time as the page used to (`torvekEveryFrame` set
before the program starts); as it does now, the frames at rest run ahead
of their time; and so, with the page kept from gamepads (no
navigator.getGamepads, no gamepad events), which Chromium polls for in its
browser process from the first time a page asks for them.
"""
import collections
import functools
import gzip
import http.server
import os
import re
import statistics
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                                "tests", "web"))
import page_check  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")
# The program's frames (it counts them in Module.frames) and its presents
# (each one a putImageData, counted from the first call of this script on).
COUNTER = """
    if (!window.counted) {
      window.counted = {presents: 0};
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function () {
        counted.presents++;
        return put.apply(this, arguments);
      };
    }
    return [Module.frames, counted.presents, Module.wakes];
"""
# From cell 6, where every placing turn's cursor starts, to each cell in turn.
WAY_TO_CELL = {6: [], 7: ["right"], 8: ["right", "right"], 3: ["up"], 4: ["up", "right"],
               5: ["up", "right", "right"], 0: ["up", "up"], 1: ["up", "up", "right"],
               2: ["up", "up", "right", "right"]}
page_check.KEYS.update({"right": "\ue014", "up": "\ue013"})


def sizes(page):
    print("== files (bytes: raw, gzip -9)")
    loaded_raw = loaded_gzip = 0
    for name in sorted(os.listdir(page)):
        with open(os.path.join(page, name), "rb") as file:
            data = file.read()
        packed = len(gzip.compress(data, 9, mtime=0))
        print("%-14s %9d %9d" % (name, len(data), packed))
        if name != "LICENSES.txt":
            loaded_raw += len(data)
            loaded_gzip += packed
    print("%-14s %9d %9d" % ("all it loads", loaded_raw, loaded_gzip))


def descendants(root):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as file:
                    fields = file.read().rsplit(")", 1)[1].split()
                children.setdefault(int(fields[1]), []).append(int(entry))
            except OSError:
                pass
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo += children.get(pid, [])
    return found


# Chromium's kind of process: browser, renderer, gpu-process, utility.
def kind(pid):
    with open("/proc/%d/cmdline" % pid) as file:
        found = re.search(r"--type=([a-z-]+)", file.read())
    return found.group(1) if found else "browser"


# CPU seconds (user and system) of each kind of process.
def cpu_seconds(pids):
    seconds = collections.Counter()
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as file:
                fields = file.read().rsplit(")", 1)[1].split()
            seconds[kind(pid)] += (int(fields[11]) + int(fields[12])) / TICKS
        except OSError:
            pass
    return seconds


def measure(browser, what, seconds):
    # chromedriver, the root, is not the browser.
    pids = descendants(browser.driver.pid)[1:]
    frames0, presents0, wakes0 = browser.run(COUNTER)
    cpu0, start = cpu_seconds(pids), time.monotonic()
    time.sleep(seconds)
    frames1, presents1, wakes1 = browser.run(COUNTER)
    cpu1, elapsed = cpu_seconds(pids), time.monotonic() - start
    share = {name: 100 * (cpu1[name] - cpu0[name]) / elapsed for name in cpu1}
    print("%-30s %6.2f frames/s %6.2f wakes/s %6.2f presents/s %6.2f%% of a core (%s)" % (
        what, (frames1 - frames0) / elapsed, (wakes1 - wakes0) / elapsed, (presents1 - presents0) / elapsed,
        sum(share.values()),
        ", ".join("%s %.2f" % item for item in sorted(share.items(), key=lambda item: -item[1]))))


def first_pictures(address, profile, log):
    browser = page_check.Browser(profile, log)
    try:
        browser.page_size(1024, 768)
        browser.command("POST", "goog/cdp/execute", {"cmd": "Network.enable", "params": {}})
        browser.command("POST", "goog/cdp/execute", {"cmd": "Network.setCacheDisabled",
                                                     "params": {"cacheDisabled": True}})
        times = []
        for _ in range(10):
            browser.go("about:blank")
            browser.go(address)
            times.append(page_check.wait_for("the first picture", lambda: browser.run(
                "const m = performance.getEntriesByName('torvek-first-picture');"
                "return m.length ? m[0].startTime : 0;"), 30.0))
        print("== navigation to the first picture, cache off, headless (ms)")
        print("median %.0f, min %.0f, max %.0f: %s" % (statistics.median(times), min(times), max(times),
                                                       " ".join("%.0f" % t for t in times)))
    finally:
        browser.quit()


WAYS = [("every frame at its time (before)", "globalThis.torvekEveryFrame = true;"),
        ("frames at rest ahead of their time (now)", ""),
        ("now, and the page kept from gamepads", """
            Navigator.prototype.getGamepads = function () { return []; };
            const listen = EventTarget.prototype.addEventListener;
            EventTarget.prototype.addEventListener = function (type) {
              if (!String(type).startsWith("gamepad"))
                return listen.apply(this, arguments);
            };""")]


def play(address, profile, log, seconds, way):
    flags = [flag for flag in page_check.CHROMIUM_FLAGS if flag != "--headless"]
    browser = page_check.Browser(profile, log, flags + ["--window-size=1024,768"])
    try:
        browser.page_size(1024, 768)
        if way[1]:
            browser.cdp("Page.addScriptToEvaluateOnNewDocument", {"source": way[1]})
        browser.go(address)
        page_check.wait_for("the first picture", lambda: browser.run(
            "return performance.getEntriesByName('torvek-first-picture').length > 0"), 30.0)
        print("== in Chromium's own window (DISPLAY %s), 1024x768 page, %s" % (os.environ.get("DISPLAY"), way[0]))
        time.sleep(3)
        measure(browser, "title, at rest", seconds)
        browser.press("enter")
        time.sleep(0.5)
        browser.press("n")
        time.sleep(3)
        measure(browser, "match, waiting for a key", seconds)
        # Nine placings fill the board; the last is followed by an
        # announcement ("Fightin' time!" or "Stand-off!").
        for number, cell in enumerate([6, 7, 8, 3, 4, 5, 0, 1, 2]):
            browser.press("space", *WAY_TO_CELL[cell], "space")
            if number == 0:
                time.sleep(0.1)
                measure(browser, "a piece moving onto its cell", 1.5)
                time.sleep(0.6)
            elif number < 8:
                time.sleep(2.4)
        time.sleep(2.1)
        measure(browser, "an announcement rising", 1.5)
    finally:
        browser.quit()


def main():
    if len(sys.argv) not in (2, 4, 6):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    page = os.path.abspath(sys.argv[1])
    options = dict(zip(sys.argv[2::2], sys.argv[3::2]))
    seconds = float(options.get("--seconds", 20.0))
    rounds = int(options.get("--rounds", 1))
    sizes(page)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                             functools.partial(page_check.Quiet, directory=page))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    address = "http://127.0.0.1:%d/" % server.server_address[1]
    with tempfile.TemporaryDirectory(prefix="torvek-chromium-") as profile, \
            open(os.path.join(os.path.dirname(page), "measure-chromedriver.log"), "wb") as log:
        first_pictures(address, profile, log)
        if os.environ.get("DISPLAY"):
            for _ in range(rounds):
                for way in WAYS:
                    play(address, profile, log, seconds, way)
        else:
            print("== no DISPLAY: frame rate and CPU are measured in a window of Chromium's own, under Xvfb")
    server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
