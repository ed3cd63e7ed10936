#!/usr/bin/env python3
"""Times a guest joining a room, as a player sees it: the real `torvek --join`
in a window under Xvfb (with openbox), on a room a headless host made on a
fresh torvek-relay on 127.0.0.1. For each try it reports the time from the
program's start to its window, and from N pressed on the menu (the program
logs "online: Connecting") to the match's first picture (it logs who places
first in the frame that shows it).

    bench/relay/join_time.py BUILD_DIR [TRIES]
"""
import os
import queue
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

TIMEOUT = 20.0


def lines_of(process, into):
    for raw in process.stdout:
        into.put((time.monotonic(), raw.decode(errors="replace").rstrip("\r\n")))


def started(words, env=None):
    process = subprocess.Popen(words, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    lines = queue.Queue()
    threading.Thread(target=lines_of, args=(process, lines), daemon=True).start()
    return process, lines


def wait_line(lines, pattern, seconds=TIMEOUT):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            at, line = lines.get(timeout=max(0.0, end - time.monotonic()))
        except queue.Empty:
            break
        found = re.search(pattern, line)
        if found:
            return at, found
    raise RuntimeError("no line matching %r within %.0f s" % (pattern, seconds))


def window_of(display, seconds=TIMEOUT):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^torvek$"], env=display,
                               capture_output=True, text=True).stdout.split()
        if found:
            return time.monotonic(), found[0]
        time.sleep(0.01)
    raise RuntimeError("no window within %.0f s" % seconds)


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def one_try(build, relay_url, display, state):
    host, host_lines = started([os.path.join(build, "tests", "torvek_online_player"), "--seconds", "60",
                                "--state", state + "/host", "--", "--host", relay_url])
    guest = None
    try:
        _, room = wait_line(host_lines, r"^TORVEK room (\S+)$")
        env = dict(display, XDG_STATE_HOME=state + "/guest")
        start = time.monotonic()
        guest, guest_lines = started([os.path.join(build, "torvek"), "--join", room.group(1) + "@" + relay_url],
                                     env)
        shown, window = window_of(env)
        time.sleep(0.5)
        subprocess.run(["xdotool", "windowactivate", "--sync", window, "key", "Return"], env=env, check=True)
        time.sleep(0.5)
        subprocess.run(["xdotool", "key", "n"], env=env, check=True)
        pressed, _ = wait_line(guest_lines, r"online: Connecting")
        first, _ = wait_line(guest_lines, r"online: .* place first\.")
        return shown - start, first - pressed
    finally:
        if guest:
            stop(guest)
        stop(host)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    tries = int(sys.argv[2]) if len(sys.argv) == 3 else 5
    with tempfile.TemporaryDirectory(prefix="torvek-join-") as state:
        xvfb = subprocess.Popen(["Xvfb", ":97", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                stderr=subprocess.DEVNULL)
        display = dict(os.environ, DISPLAY=":97")
        time.sleep(1.0)
        wm = subprocess.Popen(["openbox"], env=display, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        relay, relay_lines = started([os.path.join(build, "server", "torvek-relay"), "--listen", "127.0.0.1:0"])
        try:
            _, said = wait_line(relay_lines, r"relaying on (\S+)")
            relay_url = said.group(1)
            windows, joins = [], []
            for number in range(tries):
                window, join = one_try(build, relay_url, display, "%s/%d" % (state, number))
                windows.append(window)
                joins.append(join)
                print("try %d: start to window %.0f ms, N to the match's first picture %.0f ms"
                      % (number + 1, window * 1000, join * 1000))
            print("median: start to window %.0f ms, N to the match's first picture %.0f ms"
                  % (statistics.median(windows) * 1000, statistics.median(joins) * 1000))
        finally:
            stop(relay)
            stop(wm)
            stop(xvfb)
    size = os.path.getsize(os.path.join(build, "server", "torvek-relay"))
    print("torvek-relay: %d bytes as built (%s)" % (size, build))
    stripped = os.path.join(tempfile.gettempdir(), "torvek-relay-stripped")
    shutil.copy(os.path.join(build, "server", "torvek-relay"), stripped)
    subprocess.run(["strip", stripped], check=True)
    print("torvek-relay: %d bytes stripped" % os.path.getsize(stripped))
    os.remove(stripped)
    return 0


if __name__ == "__main__":
    sys.exit(main())
