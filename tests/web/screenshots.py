#!/usr/bin/env python3
"""Plays the page in headless Chromium as a user would and takes screenshots.

    screenshots.py --web build/web --out DIR [--at 8 50]

Clicks the start screen (a real gesture, so Web Audio may start), waits
until the soundtrack's clock passes each --at second, presses space (a
"time" line in the panel) and saves DIR/playing-<T>.png; at the end checks
that Escape brings the start screen back. Prints what the page reports.
"""
import argparse
import base64
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser_frames import chromium_command, serve  # noqa: E402
from cdp import Page  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--web", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--at", type=float, nargs="+", default=[8.0, 50.0])
    ap.add_argument("--size", default="1280,800")
    a = ap.parse_args()
    os.makedirs(a.out, exist_ok=True)
    server, _, _ = serve(a.web)
    port = server.server_address[1]
    with tempfile.TemporaryDirectory() as profile:
        browser = subprocess.Popen(
            [chromium_command(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
             "--window-size=" + a.size, "--remote-debugging-port=0", "--user-data-dir=" + profile,
             "http://127.0.0.1:%d/index.html" % port],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            devtools = None
            for line in browser.stderr:
                m = re.search(r"DevTools listening on ws://127.0.0.1:(\d+)/", line)
                if m:
                    devtools = int(m.group(1))
                    break
            page = Page.connect(devtools)
            deadline = time.time() + 60
            while page.evaluate("document.getElementById('start-text').textContent") != "click to start":
                if time.time() > deadline:
                    sys.exit("screenshots: the start screen never offered to start")
                time.sleep(0.2)
            for kind in ("mousePressed", "mouseReleased"):
                page.call("Input.dispatchMouseEvent", type=kind, x=300, y=300, button="left", clickCount=1)
            for at in a.at:
                while True:
                    now = page.evaluate("Marrow.musicTime()")
                    if now is not None and now >= at * 1000:
                        break
                    time.sleep(0.1)
                for kind in ("keyDown", "keyUp"):
                    page.call("Input.dispatchKeyEvent", type=kind, key=" ", code="Space", windowsVirtualKeyCode=32,
                              text=" " if kind == "keyDown" else "")
                time.sleep(0.3)
                shot = page.call("Page.captureScreenshot", format="png")
                path = os.path.join(a.out, "playing-%g.png" % at)
                with open(path, "wb") as f:
                    f.write(base64.b64decode(shot["data"]))
                print("screenshots: %s at music time %.3f s" % (path, now / 1000))
            for kind in ("keyDown", "keyUp"):
                page.call("Input.dispatchKeyEvent", type=kind, key="Escape", code="Escape", windowsVirtualKeyCode=27)
            time.sleep(0.5)
            print("screenshots: after Escape the start screen says:",
                  repr(page.evaluate("document.getElementById('start').hidden ? '(hidden)' : "
                                     "document.getElementById('start-text').textContent")))
            print("screenshots: panel, newest first:")
            print(page.evaluate("document.getElementById('log').textContent")[:400])
        finally:
            browser.terminate()
            browser.wait(10)
            server.shutdown()


if __name__ == "__main__":
    main()
