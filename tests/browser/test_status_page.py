#!/usr/bin/env python3
"""The status page and the screenshot page in a real browser (headless Chromium, fresh
profile, loopback only), against a running demo set-up: clientsim with the plugin, the
simulated radio and relaydeck with one gateway.

  * /status shows the gateway "connected" within its one-second updates;
  * while a simulated TeamSpeak user talks the radio lamp goes on, and off after the
    release delay; a screenshot of the page is saved;
  * / shows the window picture, whose natural size is the main window's outer size (the
    configured 1100 x 760 plus the frame, and the size of /screen.jpg itself).

Exit 0 when all is seen, 1 otherwise, 77 (skipped) without a browser.
"""

import argparse
import os
import struct
import sys
import threading
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, HERE)

import demo  # noqa: E402
from cdp import Browser  # noqa: E402

WINDOW = (1100, 760)   # winWIDTH / winHEIGHT of the demo's main.cfg


class Stop(Exception):
    pass


class QuietDemo(demo.Demo):
    """The demo's programs without its script: the test makes the user talk."""

    def __init__(self, args):
        super().__init__(args)
        self.stopping = threading.Event()
        self.interrupted = False

    def timeline(self):
        while True:
            yield 3600, lambda: None

    def drain(self, timeout):
        super().drain(timeout)
        if self.stopping.is_set() and not self.interrupted:
            self.interrupted = True   # once: stop() drains too
            raise KeyboardInterrupt


def jpeg_size(data):
    i = 2
    while i + 9 < len(data):
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xC3:
            h, w = struct.unpack(">HH", data[i + 5:i + 9])
            return w, h
        i += 2 + length
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True, help="folder with relaydeck, clientsim and Relaydeck_Link.so")
    ap.add_argument("--shots", default=".", help="folder for the screenshots")
    ap.add_argument("--browser", default="/usr/bin/chromium")
    a = ap.parse_args()
    if not os.access(a.browser, os.X_OK):
        print("no browser at", a.browser)
        return 77
    os.makedirs(a.shots, exist_ok=True)

    args = argparse.Namespace(build=os.path.dirname(os.path.abspath(a.bin)), home=None, port=0, lang="en_US",
                              duration=0, check=False, keep=False, verbose=False)
    d = QuietDemo(args)
    d.bin = os.path.abspath(a.bin)
    runner = threading.Thread(target=d.run, daemon=True)
    runner.start()
    base = f"http://127.0.0.1:{d.http_port}"
    browser = None
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            failures.append(what)

    try:
        # The web server comes up with the main window.
        deadline = time.time() + 30
        while time.time() < deadline:
            try:
                urllib.request.urlopen(base + "/api/status", timeout=2).read()
                break
            except OSError:
                time.sleep(0.3)
        browser = Browser(a.browser, 1100, 800)
        browser.goto(base + "/status")
        state = "(document.querySelector('.gw .state') || {}).textContent"
        radio = "(document.querySelector('.gw .lamp.radio') || {dataset: {}}).dataset.on"
        try:
            browser.wait_for(state, "connected", timeout=45)
            check(True, "/status shows the gateway connected")
        except TimeoutError as e:
            check(False, f"/status shows the gateway connected ({e})")
            raise Stop
        check(browser.wait_for(radio, "0", timeout=10) == "0", "radio lamp off while nobody talks")
        browser.screenshot(os.path.join(a.shots, "status_connected.png"))

        d.ts3("join S1 7 Alice channel=1")
        time.sleep(1)
        d.ts3("talk S1 7 start")
        try:
            browser.wait_for(radio, "1", timeout=10)
            check(True, "radio lamp on while Alice talks")
        except TimeoutError as e:
            check(False, f"radio lamp on while Alice talks ({e})")
        time.sleep(0.5)
        browser.screenshot(os.path.join(a.shots, "status_radio_keyed.png"))
        talkers = browser.evaluate("(document.querySelector('.gw .talkers') || {}).textContent")
        check(talkers == "1", f"one talker shown (got {talkers!r})")
        d.ts3("talk S1 7 stop")
        try:
            browser.wait_for(radio, "0", timeout=15)
            check(True, "radio lamp off again after the release delay")
        except TimeoutError as e:
            check(False, f"radio lamp off again ({e})")

        # The page updates itself: the log it shows grows without a reload.
        log_lines = browser.evaluate("document.querySelector('.gw .log').textContent.split('\\n').length")
        check(log_lines and log_lines > 1, f"log lines shown ({log_lines})")

        # The screenshot page at / with its picture.
        browser.goto(base + "/")
        size = browser.wait_for("(() => { const i = document.images[0];"
                                " return i && i.complete && i.naturalWidth ? [i.naturalWidth, i.naturalHeight] : null; })()",
                                None, timeout=20)
        jpeg = jpeg_size(urllib.request.urlopen(base + "/screen.jpg", timeout=10).read())
        check(tuple(size) == jpeg, f"picture's natural size {tuple(size)} is that of /screen.jpg {jpeg}")
        # The outer size is the configured inner size plus the window frame, the same on
        # both sides (the offscreen platform draws 2 px).
        frame = (size[0] - WINDOW[0], size[1] - WINDOW[1])
        check(frame[0] == frame[1] and 0 <= frame[0] <= 40,
              f"picture's natural size {tuple(size)} is the main window's outer size: {WINDOW} plus a frame of {frame}")
        browser.screenshot(os.path.join(a.shots, "screenshot_page.png"))
    except Stop:
        pass
    finally:
        if browser:
            browser.close()
        d.stopping.set()
        runner.join(timeout=30)
    print("screenshots in", os.path.abspath(a.shots))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
