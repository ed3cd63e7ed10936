#!/usr/bin/env python3
"""The page as a player meets it, in headless Chromium driven through
WebDriver (Debian's chromium-driver), served on 127.0.0.1 only.

    tests/web/page_check.py PAGE_FOLDER [NATIVE_PROGRAM [RELAY ONLINE_PLAYER]]

On a 1024x768 page the title is the golden title picture at 4x, pixel for
pixel; at 1300x1000 it is 5x and centred between black bars; Enter, N and
keys play a placing; on a zoomed page clicks and taps play one, and so do
taps on a phone held upright (390x844 at 3 pixels a unit: the picture at
4x at the top) and sideways (844x390: 6x, centred), where a pinch does not
zoom and a long press opens no menu; Chromium finds the
page installable and its manifest's icons load; a page opened once starts
and plays a placing with the network off; an unknown option in the address
shows the program's own error text (that of NATIVE_PROGRAM, when given) and
starts nothing; and the console holds no error or warning. Screenshots of a
failed check, and of the phone's two ways and the page offline, are left
beside the page folder.

With RELAY (torvek-relay) and ONLINE_PLAYER (torvek_online_player, the real
game headless playing its side by itself), the relay serves the page and
online play is checked: the page hosts with ?host, its service worker
takes over there too, it shows its waiting screen and copies the invite
link, which the desktop program joins; and a
desktop program hosts, the page joins with ?join=CODE, each side places a
piece, and both records of the match are the same. Screenshots of the waiting screen and of the
match are left beside the page folder. Only the standard library is used.
"""
import base64
import functools
import http.server
import json
import os
import queue
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GOLDEN = os.path.join(ROOT, "tests", "shell", "golden")
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--disable-dev-shm-usage"]
KEYS = {"enter": "\ue007", "space": " ", "n": "n", "left": "\ue012", "up": "\ue013", "right": "\ue014",
        "down": "\ue015"}
# Where the first placing puts its piece: cell 6, the front row's left cell,
# whose piece stands 12x20 on its spot (94, 149).
PLACED_PIECE = (88, 129, 100, 149)
# The upper part of a piece placed on the middle cell, above the cell's marker.
MIDDLE_PIECE = (122, 120, 134, 132)


# The board's side, and the cell the placing cursor starts on each turn.
BOARD_SIDE = 3
FRONT_LEFT_CELL = 6
# Where the page's program keeps its state: emscripten's home in the
# browser's memory, which the page keeps in its localStorage.
PAGE_STATE = "/home/web_user/.local/state"
PAGE_RECORD = PAGE_STATE + "/check.record"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(what, condition, seconds=10.0):
    end = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Browser:
    """A WebDriver session of headless Chromium."""

    def __init__(self, profile, log, flags=CHROMIUM_FLAGS):
        port = free_port()
        self.base = "http://127.0.0.1:%d" % port
        # A process group of its own, the browser's processes in it, to be
        # ended together whatever happens to the session.
        self.driver = subprocess.Popen(["chromedriver", "--port=%d" % port], stdout=log, stderr=log,
                                       start_new_session=True)
        wait_for("chromedriver", self.ready)
        options = {"binary": "/usr/bin/chromium", "args": flags + ["--user-data-dir=" + profile]}
        capabilities = {"browserName": "chrome", "goog:chromeOptions": options,
                        "goog:loggingPrefs": {"browser": "ALL"}}
        self.session = self.call("POST", "/session", {"capabilities": {"alwaysMatch": capabilities}})["sessionId"]

    def ready(self):
        try:
            return self.call("GET", "/status")["ready"]
        except OSError:
            return False

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=60) as response:
                return json.load(response)["value"]
        except urllib.error.HTTPError as error:
            raise AssertionError("WebDriver %s %s: %s" % (method, path, error.read().decode()[:500]))

    def command(self, method, path, body=None):
        return self.call(method, "/session/%s%s" % (self.session, path and "/" + path), body)

    def go(self, address):
        self.command("POST", "url", {"url": address})

    def run(self, script, *args):
        return self.command("POST", "execute/sync", {"script": script, "args": list(args)})

    def run_async(self, script, *args):
        return self.command("POST", "execute/async", {"script": script, "args": list(args)})

    # The page's size in its own units, each `ratio` of the screen's pixels;
    # `mobile`: a phone's screen, whose page takes its viewport's settings.
    def page_size(self, width, height, ratio=1, mobile=False):
        self.cdp("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": ratio, "mobile": mobile})
        self.cdp("Emulation.setTouchEmulationEnabled", {"enabled": mobile, "maxTouchPoints": 5})

    # A command of the DevTools protocol.
    def cdp(self, command, params=None):
        return self.command("POST", "goog/cdp/execute", {"cmd": command, "params": params or {}})

    # Keys a few frames apart: of the keys pressed in one frame only the first counts.
    def press(self, *names):
        steps = []
        for name in names:
            steps += [{"type": "keyDown", "value": KEYS[name]}, {"type": "keyUp", "value": KEYS[name]},
                      {"type": "pause", "duration": 80}]
        self.command("POST", "actions", {"actions": [{"type": "key", "id": "keys", "actions": steps}]})

    # A click (a tap, with pointer="touch") at a point of the page, in its units.
    def click(self, x, y, pointer="mouse"):
        steps = [{"type": "pointerMove", "x": x, "y": y, "origin": "viewport"}, {"type": "pointerDown", "button": 0},
                 {"type": "pause", "duration": 80}, {"type": "pointerUp", "button": 0},
                 {"type": "pause", "duration": 80}]
        self.command("POST", "actions", {"actions": [
            {"type": "pointer", "id": pointer, "parameters": {"pointerType": pointer}, "actions": steps}]})
        self.command("DELETE", "actions")

    def screenshot(self):
        return base64.b64decode(self.command("GET", "screenshot"))

    # The browser's own PNG decoder: width, height and RGBA rows, every
    # pixel opaque (the pictures compared are colours alone).
    def decode(self, png):
        width, height, pixels = self.run_async("""
            const [png, done] = arguments;
            fetch("data:image/png;base64," + png).then(r => r.blob())
              .then(b => createImageBitmap(b, {colorSpaceConversion: "none", premultiplyAlpha: "none"}))
              .then(bitmap => {
                const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
                const context = canvas.getContext("2d");
                context.drawImage(bitmap, 0, 0);
                const data = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
                let text = "";
                for (let i = 0; i < data.length; i += 0x8000)
                  text += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
                done([bitmap.width, bitmap.height, btoa(text)]);
              });""", base64.b64encode(png).decode())
        pixels = bytearray(base64.b64decode(pixels))
        pixels[3::4] = b"\xff" * (len(pixels) // 4)
        return width, height, bytes(pixels)

    def console(self):
        return self.command("POST", "se/log", {"type": "browser"})

    def quit(self):
        try:
            self.command("DELETE", "")
        finally:
            try:
                os.killpg(self.driver.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            self.driver.wait(10)


class Program:
    """A program of this machine, its standard output read line by line
    with time limits; ended with SIGTERM (then SIGKILL) by stop()."""

    def __init__(self, words, log):
        self.words = words
        self.process = subprocess.Popen(words, stdout=subprocess.PIPE, stderr=log, text=True,
                                        start_new_session=True)
        self.lines = queue.Queue()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    # The first line that matches `pattern`, as its match.
    def expect(self, pattern, seconds=30.0):
        end = time.monotonic() + seconds
        while True:
            try:
                line = self.lines.get(timeout=max(0.01, end - time.monotonic()))
            except queue.Empty:
                line = None
            if line is None or time.monotonic() > end:
                raise AssertionError("%s printed no line like %r (status %s)"
                                     % (os.path.basename(self.words[0]), pattern, self.process.poll()))
            found = re.match(pattern, line)
            if found:
                return found

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait(10)


def record_moves(text):
    """The first side and the moves of a match's record ("place 0 6" as
    ("place", 0, 6)); None while its header is not written yet."""
    lines = (text or "").splitlines()
    if len(lines) < 2 or lines[0] != "torvek-match 1" or not lines[1].startswith("first "):
        return None
    moves = [(kind, int(a), int(b)) for kind, a, b in (line.split() for line in lines[2:])]
    return lines[1].split()[1], moves


def placing_keys(moves):
    """The keys that place the hand's first piece on the first free cell."""
    taken = {to for kind, _, to in moves if kind == "place"}
    cell = min(set(range(BOARD_SIDE * BOARD_SIDE)) - taken)
    rows = cell // BOARD_SIDE - FRONT_LEFT_CELL // BOARD_SIDE
    columns = cell % BOARD_SIDE - FRONT_LEFT_CELL % BOARD_SIDE
    return (["space"] + ["up" if rows < 0 else "down"] * abs(rows) +
            ["left" if columns < 0 else "right"] * abs(columns) + ["space"])


def laid_out(picture, scale, width, height, at_top=False):
    """The page a picture makes at `scale`, centred between black bars (or,
    `at_top`, with the bars below)."""
    base_width, base_height, pixels = picture
    left, top = (width - base_width * scale) // 2, 0 if at_top else (height - base_height * scale) // 2
    black = b"\0\0\0\xff"
    rows = [black * width] * top
    for y in range(base_height):
        row = pixels[y * base_width * 4:(y + 1) * base_width * 4]
        blocks = b"".join(row[x * 4:x * 4 + 4] * scale for x in range(base_width))
        rows += [black * left + blocks + black * (width - left - base_width * scale)] * scale
    rows += [black * width] * (height - top - base_height * scale)
    return b"".join(rows)


def picture_of(shot, scale, base=(256, 192), at_top=False):
    """The picture at 1x, read at the centre of each block of a page that
    shows it at `scale` (as laid_out places it)."""
    width, height, pixels = shot
    left, top = (width - base[0] * scale) // 2, 0 if at_top else (height - base[1] * scale) // 2
    out = bytearray()
    for y in range(base[1]):
        row = (top + y * scale + scale // 2) * width
        for x in range(base[0]):
            at = (row + left + x * scale + scale // 2) * 4
            out += pixels[at:at + 4]
    return base[0], base[1], bytes(out)


def differing_pixels(a, b):
    return sum(1 for i in range(0, min(len(a), len(b)), 4) if a[i:i + 3] != b[i:i + 3])


def changed_in(before, after, box):
    """How many pixels of a box (x0, y0, x1, y1) of two pictures at 1x differ."""
    x0, y0, x1, y1 = box
    width = before[0]
    return sum(before[2][at:at + 3] != after[2][at:at + 3]
               for y in range(y0, y1) for x in range(x0, x1) for at in [(y * width + x) * 4])


class Checks:
    def __init__(self, browser, address, out_dir, native):
        self.browser, self.address, self.out_dir, self.native = browser, address, out_dir, native
        self.golden = {}

    def golden_picture(self, name):
        if name not in self.golden:
            with open(os.path.join(GOLDEN, name + ".png"), "rb") as file:
                self.golden[name] = self.browser.decode(file.read())
        return self.golden[name]

    def shot(self):
        png = self.browser.screenshot()
        return png, self.browser.decode(png)

    # Waits until the page shows the golden picture `name` at `scale`.
    def expect_screen(self, name, scale, width, height, says=None, at_top=False):
        expected = laid_out(self.golden_picture(name), scale, width, height, at_top)
        last = [None]

        def shows():
            png, (w, h, pixels) = self.shot()
            last[0] = (png, w, h, pixels)
            return (w, h) == (width, height) and pixels == expected

        try:
            wait_for("the %s at %dx on a %dx%d page" % (name, scale, width, height), shows, 5.0)
        except AssertionError:
            png, w, h, pixels = last[0]
            path = os.path.join(self.out_dir, "failed-%s-%dx%d.png" % (name, width, height))
            with open(path, "wb") as file:
                file.write(png)
            differs = differing_pixels(pixels, expected) if (w, h) == (width, height) else "all"
            raise AssertionError("the page (%dx%d) is not the %s at %dx: %s pixels differ; see %s"
                                 % (w, h, name, scale, differs, path))
        print("check: " + (says or "%dx%d page: the %s at %dx, pixel for pixel" % (width, height, name, scale)))

    # Opened at a size other than the game's window, then resized; on a
    # zoomed page (or a high-density screen) the picture is laid out on the
    # screen's pixels, not the page's units.
    def title_and_sizes(self):
        self.browser.page_size(1300, 1000)
        self.browser.go(self.address)
        wait_for("the first picture", lambda: self.browser.run(
            "return performance.getEntriesByName('torvek-first-picture').length > 0"), 30.0)
        self.expect_screen("title", 5, 1300, 1000)
        self.browser.page_size(800, 600, 1.25)
        self.expect_screen("title", 3, 1000, 750, "800x600 page at 1.25 pixels a unit: the title at 3x "
                           "on its 1000x750 pixels, pixel for pixel")
        self.browser.page_size(1024, 768)
        self.expect_screen("title", 4, 1024, 768)

    def placing(self):
        # A key held since before the page had the focus reaches it as
        # repeats alone: they press nothing.
        self.browser.run("""
            for (const type of ["keydown", "keydown", "keyup"])
              document.body.dispatchEvent(new KeyboardEvent(type, {
                key: "Enter", code: "Enter", repeat: type === "keydown", bubbles: true}));""")
        time.sleep(0.3)
        self.expect_screen("title", 4, 1024, 768, "repeats of a key held since before the focus press nothing")
        self.placed_by_keys()

    # From the title on a 1024x768 page: Enter, N, Space, Space place a
    # piece; the screenshot after.
    def placed_by_keys(self):
        self.browser.press("enter")
        self.expect_screen("menu", 4, 1024, 768)
        self.browser.press("n")
        # The match: the board waits for the first side's first piece.
        wait_for("the match", lambda: differing_pixels(
            picture_of(self.shot()[1], 4)[2], self.golden_picture("menu")[2]) > 1000)
        time.sleep(0.5)
        before = picture_of(self.shot()[1], 4)
        self.browser.press("space", "space")
        # The piece moves onto its cell, then the turn passes.
        time.sleep(3.0)
        png, shown = self.shot()
        changed = changed_in(before, picture_of(shown, 4), PLACED_PIECE)
        if changed < 40:
            raise AssertionError("Space, Space placed no piece on the front row's left cell "
                                 "(%d of its pixels changed)" % changed)
        print("check: Enter, N, Space, Space: a piece placed on the board (%d pixels of its cell changed)"
              % changed)
        return png

    # On a zoomed page, by mouse and by finger: a click on the title opens
    # the menu, one on its N line starts a match, a tap on a piece of the
    # hand takes it and one on the middle cell places it there.
    def clicks(self):
        self.taps(800, 600, 1.25, 3, "mouse", says="the title again, on an 800x600 page at 1.25")

    # A phone held upright: the picture takes the width at the largest whole
    # scale, the bars below it; held sideways, centred as on a desktop. Taps
    # alone play a placing, both ways.
    def phone(self):
        self.taps(390, 844, 3, 4, "touch", mobile=True, at_top=True, shot="phone-upright.png",
                  says="a phone held upright (390x844 at 3): the title at 4x at the top of its 1170x2532 pixels")
        self.taps(844, 390, 3, 6, "touch", mobile=True, shot="phone-sideways.png",
                  says="the phone sideways (844x390 at 3): the title at 6x, centred on its 2532x1170 pixels")
        # Two fingers spread do not zoom the page, a long press opens no menu.
        self.browser.cdp("Input.synthesizePinchGesture", {"x": 422, "y": 195, "scaleFactor": 2.0,
                                                          "gestureSourceType": "touch"})
        time.sleep(0.5)
        zoom, menu = self.browser.run("""
            const press = new MouseEvent("contextmenu", {bubbles: true, cancelable: true});
            return [visualViewport.scale, document.getElementById("canvas").dispatchEvent(press)];""")
        if zoom != 1 or menu:
            raise AssertionError("on the phone a pinch zoomed the page to %r, or a long press's menu was let "
                                 "through (%r)" % (zoom, menu))
        print("check: on the phone a pinch does not zoom the page and a long press opens no menu")
        self.browser.page_size(1024, 768)

    # A page of `units` at `ratio` pixels a unit shows the title at `scale`;
    # the title and the menu's N line are clicked with `pointer`, a piece of
    # the hand and the middle cell tapped.
    def taps(self, width_units, height_units, ratio, scale, pointer, mobile=False, at_top=False, shot=None,
             says=None):
        width, height = round(width_units * ratio), round(height_units * ratio)
        word = {"mouse": "click", "touch": "tap"}
        self.browser.page_size(width_units, height_units, ratio, mobile)
        self.browser.go(self.address)
        start = time.monotonic()
        wait_for("the first picture", lambda: self.browser.run(
            "return performance.getEntriesByName('torvek-first-picture').length > 0"), 30.0)
        if time.monotonic() - start > 5:
            print("note: the first picture came %.1f s after the page" % (time.monotonic() - start))
        self.expect_screen("title", scale, width, height, says, at_top)
        left = (width - 256 * scale) // 2
        top = 0 if at_top else (height - 192 * scale) // 2

        def at(x, y, pointer="touch"):
            # The middle of the virtual pixel, in the page's units.
            self.browser.click(round((left + x * scale + scale / 2) / ratio),
                               round((top + y * scale + scale / 2) / ratio), pointer)

        def picture():
            return picture_of(self.shot()[1], scale, at_top=at_top)

        at(200, 180, pointer)
        # A touch shows the fullscreen button for 2.5 s, as a mouse's move does.
        wait_for("the fullscreen button to hide", lambda: self.browser.run(
            "return document.getElementById('fullscreen').hidden"), 10.0)
        self.expect_screen("menu", scale, width, height, "a %s on the title: the menu" % word[pointer], at_top)
        at(128, 104, pointer)
        wait_for("the match", lambda: differing_pixels(picture()[2], self.golden_picture("menu")[2]) > 1000)
        time.sleep(0.5)
        before = picture()
        at(50, 175)
        at(128, 137)
        time.sleep(3.0)
        png, shown = self.shot()
        after = picture_of(shown, scale, at_top=at_top)
        changed = changed_in(before, after, MIDDLE_PIECE)
        if changed < 40:
            raise AssertionError("taps on the hand's third piece and the middle cell placed nothing there "
                                 "(%d of its pixels changed)" % changed)
        saved = ""
        if shot:
            with open(os.path.join(self.out_dir, shot), "wb") as file:
                file.write(png)
            saved = "; %s" % os.path.join(self.out_dir, shot)
        print("check: %ss on the title and the menu's N line, taps on a piece of the hand and the middle "
              "cell: a piece placed there (%d pixels of its cell changed%s)" % (word[pointer], changed, saved))

    # The page's service worker has taken over; Chromium finds nothing
    # that keeps the page from being installed, and the manifest's icons
    # load at the sizes it gives.
    def installable(self):
        self.browser.page_size(1024, 768)
        self.browser.go(self.address)
        wait_for("the service worker", lambda: self.browser.run_async(
            "const done = arguments[0]; navigator.serviceWorker.ready.then(r => done(!!r.active), "
            "() => done(false));"), 20.0)
        errors = self.browser.cdp("Page.getInstallabilityErrors")["installabilityErrors"]
        if errors:
            raise AssertionError("Chromium finds the page not installable: %r" % errors)
        icons = self.browser.run_async("""
            const done = arguments[0];
            const manifest = document.querySelector("link[rel=manifest]").href;
            fetch(manifest).then(r => r.json()).then(m => Promise.all(m.icons.map(icon =>
              fetch(new URL(icon.src, manifest)).then(r => r.ok ? r.blob() : Promise.reject(r.status))
                .then(b => createImageBitmap(b)).then(bitmap => [icon.sizes, bitmap.width + "x" + bitmap.height],
                                                       why => [icon.sizes, "not loaded: " + why]))))
              .then(done, why => done(String(why)));""")
        if not isinstance(icons, list) or sorted(icons) != [["192x192", "192x192"], ["512x512", "512x512"]]:
            raise AssertionError("the manifest's icons: %r" % (icons,))
        print("check: installable (no installability errors), the manifest's icons load: %s"
              % ", ".join(size for size, _ in sorted(icons)))

    # A page opened once on a server of its own, which then stops, and the
    # network gone: reloaded, the page still starts and plays a placing.
    def offline(self, page):
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=page))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        address = "http://127.0.0.1:%d/" % server.server_address[1]
        self.browser.page_size(1024, 768)
        try:
            self.browser.go(address)
            expected = sorted(["./"] + [name for name in os.listdir(page) if name != "sw.js"])
            kept = wait_for("every file kept by the service worker", lambda: (lambda names: names == expected and names)(
                self.browser.run_async("""
                    const done = arguments[0];
                    navigator.serviceWorker.ready.then(() => caches.keys())
                      .then(names => Promise.all(names.map(name => caches.open(name).then(c => c.keys()))))
                      .then(lists => done([].concat(...lists).map(r => r.url.replace(location.origin + "/", "")
                                                                        .replace(/^$/, "./")).sort()),
                            () => done(null));""")), 30.0)
            self.browser.cdp("Network.enable")
            self.browser.cdp("Network.emulateNetworkConditions", {
                "offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
            server.shutdown()
            server.server_close()
            self.browser.go(address)
            self.expect_screen("title", 4, 1024, 768, "offline, the server stopped: the title at 4x, pixel for "
                               "pixel, from the %d files the page keeps" % len(kept))
            png = self.placed_by_keys()
            path = os.path.join(self.out_dir, "offline.png")
            with open(path, "wb") as file:
                file.write(png)
            print("check: offline: Enter, N, Space, Space placed a piece (%s)" % path)
        finally:
            self.browser.cdp("Network.emulateNetworkConditions", {
                "offline": False, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
            server.shutdown()

    def bad_option(self):
        option = "--computer=nobody"
        self.browser.go(self.address + "?" + option[2:])
        shown = wait_for("the error on the page", lambda: self.browser.run(
            "const m = document.getElementById('message');"
            "return m.hidden ? null : document.getElementById('message-output').textContent;"))
        if self.native:
            run = subprocess.run([self.native, option], capture_output=True, text=True, timeout=30)
            expected = run.stderr.rstrip("\n")
        else:
            expected = ("torvek: --computer nobody: expected solids, stripes or both\n"
                        "Try 'torvek --help' for the options and keys.")
        if shown != expected:
            raise AssertionError("?%s shows %r, not the program's %r" % (option[2:], shown, expected))
        if self.browser.run("return performance.getEntriesByName('torvek-first-picture').length"):
            raise AssertionError("?%s started the game" % option[2:])
        print("check: ?%s: the program's own error on the page, and no game" % option[2:])

    def quiet_console(self):
        noisy = [entry for entry in self.browser.console() if entry.get("level") in ("SEVERE", "WARNING")]
        if noisy:
            raise AssertionError("the console holds errors or warnings:\n" +
                                 "\n".join("%s %s" % (e["level"], e["message"]) for e in noisy))
        print("check: no error or warning in the console")


class Online:
    """The page and desktop programs in one match through the relay that
    serves the page, all on 127.0.0.1."""

    def __init__(self, browser, page, out_dir, relay, player, log):
        self.browser, self.out_dir, self.player, self.log = browser, out_dir, player, log
        self.programs = []
        self.state = tempfile.mkdtemp(prefix="torvek-online-")
        self.relay = self.start([relay, "--page", page, "--listen", "127.0.0.1:0", "--room-wait", "60"])
        self.address = self.relay.expect(r"torvek-relay: page on (http://127\.0\.0\.1:\d+/)$").group(1)
        self.relay_url = "ws" + self.address[len("http"):]

    def start(self, words):
        program = Program(words, self.log)
        self.programs.append(program)
        return program

    # The desktop program, headless, playing its side by itself; `name`
    # its state folder and the record it writes.
    def desktop(self, name, options, moves=()):
        words = [self.player, "--seconds", "150", "--state", os.path.join(self.state, name)]
        for count in moves:
            words += ["--moves", str(count)]
        return self.start(words + ["--", "--record", os.path.join(self.state, name + ".record")] + options)

    def desktop_record(self, name):
        try:
            with open(os.path.join(self.state, name + ".record")) as file:
                return record_moves(file.read())
        except FileNotFoundError:
            return None

    def page_record(self):
        return record_moves(self.browser.run("return localStorage.getItem(arguments[0])", "state:" + PAGE_RECORD))

    def save_shot(self, name):
        path = os.path.join(self.out_dir, name)
        with open(path, "wb") as file:
            file.write(self.browser.screenshot())
        return path

    def open_page(self, query, reload=False):
        if reload:
            self.browser.run("location.reload()")
        else:
            self.browser.go(self.address + query)
        wait_for("the first picture", lambda: self.browser.run(
            "return performance.getEntriesByName('torvek-first-picture').length > 0"), 30.0)
        self.browser.press("enter")
        time.sleep(0.5)
        self.browser.press("n")

    def stop(self):
        for program in reversed(self.programs):
            program.stop()

    # ?host: the page makes a room on its relay, waits for a friend and
    # copies the invite link; the desktop program joins by that link and
    # the match starts on the page.
    def hosting(self):
        self.browser.page_size(1024, 768)
        origin = self.address.rstrip("/")
        self.browser.command("POST", "goog/cdp/execute", {"cmd": "Browser.grantPermissions", "params": {
            "origin": origin, "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]}})
        self.open_page("?host")
        invite = wait_for("the invite button", lambda: self.browser.run(
            "const b = document.getElementById('invite'); return b.hidden ? null : b.title;"), 20.0)
        time.sleep(0.5)
        waiting = picture_of(self.shot(), 4)
        path = self.save_shot("online-waiting.png")
        x, y = self.browser.run("const r = document.getElementById('invite').getBoundingClientRect();"
                                "return [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)];")
        self.browser.click(x, y)
        link = wait_for("the invite link in the clipboard", lambda: self.browser.run_async(
            "const done = arguments[0]; navigator.clipboard.readText().then(done, () => done(null));"))
        code = re.match(r"^" + re.escape(origin) + r"/\?join=([A-Z2-9]{4}-[A-Z2-9]{4})$", link)
        if not code or not invite.endswith(link):
            raise AssertionError("the invite button copied %r (its title: %r)" % (link, invite))
        # The relay serves the page's service worker as a static server does.
        wait_for("the service worker of the relay's page", lambda: self.browser.run_async(
            "const done = arguments[0]; navigator.serviceWorker.ready.then(r => done(!!r.active), "
            "() => done(false));"), 20.0)
        guest = self.desktop("guest-of-page", ["--join", link])
        wait_for("the match on the hosting page", lambda: differing_pixels(
            picture_of(self.shot(), 4)[2], waiting[2]) > 1000, 20.0)
        wait_for("the match on the desktop program that joined by the link",
                 lambda: self.desktop_record("guest-of-page"))
        guest.stop()
        print("check: ?host: the page's waiting screen (%s), its service worker, its button copies the invite "
              "link %s, the desktop program joins by it and the match starts on the page" % (path, link))

    def shot(self):
        return self.browser.decode(self.browser.screenshot())

    # Waits until the page's record holds `count` moves.
    # (or, with `read` self.desktop_record("host"), the desktop's)
    def page_moves(self, count, seconds=20.0, read=None):
        read = read or self.page_record
        return wait_for("the record to hold %d moves" % count, lambda: (
            lambda record: record if record and len(record[1]) >= count else None)(read()), seconds)

    # Plays the match on to `count` moves: the desktop's moves by itself,
    # the page's (Stripes') by keys, each once the move before it is shown;
    # the moves as `read` finds them recorded.
    def play_to(self, count, read=None):
        while True:
            first, moves = self.page_moves(0, read=read)
            if len(moves) >= count:
                return
            stripes_turn = (len(moves) % 2 == 0) == (first == "stripes")
            if stripes_turn:
                # The last move's piece settles and the turn passes.
                time.sleep(3.0)
                self.browser.press(*placing_keys(moves))
            self.page_moves(len(moves) + 1, read=read)

    # The page's record holds `count` moves, the desktop's first ones (the
    # desktop may have played on).
    def same_records(self, count, said):
        desktop, page = self.desktop_record("host"), self.page_record()
        if not desktop or not page or (desktop[0], desktop[1][:count]) != page or len(page[1]) != count:
            raise AssertionError("%s the records differ:\n  desktop %r\n  page    %r" % (said, desktop, page))

    # A desktop program hosts; the page joins with ?join=CODE, and each
    # side places a piece; the page reloaded takes its seat back.
    def joining(self):
        host = self.desktop("host", ["--host", self.relay_url], moves=(2, 4))
        code = host.expect(r"^TORVEK room (\S+)$").group(1)
        self.open_page("?join=%s&record=%s" % (code, PAGE_RECORD))
        if "join" in self.browser.run("return location.search"):
            raise AssertionError("?join= stayed in the page's address")
        self.play_to(2)
        hash_after = host.expect(r"^moves ([0-9a-f]{16}) 2$").group(1)
        self.same_records(2, "after a placing each")
        time.sleep(2.0)
        path = self.save_shot("online-match.png")
        print("check: ?join=%s: the page joins a desktop program's room, each places a piece, and both "
              "recorded the same match (position %s; the page: %s)" % (code, hash_after, path))

        # A reloaded page takes its seat back (the relay accepts its kept
        # token), is brought to the match, writes its record anew as the
        # whole match, and plays on.
        self.open_page("", reload=True)
        self.page_moves(2)
        self.play_to(4)
        hash_after = host.expect(r"^moves ([0-9a-f]{16}) 4$").group(1)
        self.same_records(4, "after the page was reloaded")
        print("check: the page reloaded takes its seat back and plays on: both recorded the same match "
              "(position %s)" % hash_after)


def main():
    if len(sys.argv) not in (2, 3, 5):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    page = os.path.abspath(sys.argv[1])
    native = os.path.abspath(sys.argv[2]) if len(sys.argv) >= 3 else None
    online_programs = [os.path.abspath(arg) for arg in sys.argv[3:5]]
    out_dir = os.path.dirname(page)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=page))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    address = "http://127.0.0.1:%d/" % server.server_address[1]
    start = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="torvek-chromium-") as profile, \
            open(os.path.join(out_dir, "chromedriver.log"), "wb") as log:
        browser = Browser(profile, log)
        try:
            checks = Checks(browser, address, out_dir, native)
            checks.title_and_sizes()
            checks.placing()
            checks.clicks()
            checks.phone()
            checks.installable()
            checks.bad_option()
            checks.quiet_console()
            # Last: offline, the browser's console tells of the files it could not fetch.
            checks.offline(page)
            if online_programs:
                online = Online(browser, page, out_dir, *online_programs, log)
                try:
                    online.hosting()
                    online.joining()
                finally:
                    online.stop()
        finally:
            browser.quit()
            server.shutdown()
    print("check: every check of the page passed in %.1f s" % (time.monotonic() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
