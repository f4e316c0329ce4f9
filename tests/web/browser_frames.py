#!/usr/bin/env python3
"""Opens the browser build in headless Chromium and compares every frame.

    browser_frames.py --web DIR --capture EXE --data DIR [--fps 30] [--frames N]

The desktop build's marrow-capture composes the whole presentation at --fps
and prints one hash per frame (--hashes); the page (DIR/index.html?test=
hashes) composes the same instants through its test entry point and posts
its hashes back to the small HTTP server this script runs, which serves the
page too. Every frame whose hashes differ is listed; the exit status is 0
only when there are none. With --bench the page's per-interval timings
(index.html?bench) are printed instead. A result not arriving within
--timeout seconds fails the test.
"""
import argparse
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading

SKIP = 77  # ctest's skip code: no browser, or no page built


def chromium_command():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def serve(directory):
    """An HTTP server on 127.0.0.1 serving `directory`; POST stores the body."""
    results = {}
    arrived = threading.Event()

    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=directory, **kwargs)

        def do_POST(self):
            length = int(self.headers.get("Content-Length", 0))
            results["body"] = self.rfile.read(length)
            self.send_response(204)
            self.end_headers()
            arrived.set()

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, results, arrived


def open_page(url, profile, extra=()):
    """Starts headless Chromium on `url` and returns the process."""
    args = [chromium_command(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking", "--disable-component-update",
            "--disable-sync", "--disable-dev-shm-usage", "--mute-audio", "--autoplay-policy=no-user-gesture-required",
            "--user-data-dir=" + profile, *extra, url]
    return subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def page_result(web, query, timeout):
    server, results, arrived = serve(web)
    port = server.server_address[1]
    with tempfile.TemporaryDirectory() as profile:
        browser = open_page("http://127.0.0.1:%d/index.html?%s&report=/result" % (port, query), profile,
                            ["--remote-debugging-port=0"])
        try:
            arrived.wait(timeout)
        finally:
            browser.terminate()
            try:
                browser.wait(10)
            except subprocess.TimeoutExpired:
                browser.kill()
                browser.wait()
            server.shutdown()
    if "body" not in results:
        print("browser_frames: no result from the page within %d s" % timeout)
        sys.exit(1)
    result = json.loads(results["body"])
    if "error" in result:
        print("browser_frames: the page reported: " + result["error"])
        sys.exit(1)
    return result


def native_hashes(capture, data, fps, frames):
    args = [capture, "--data", data, "--fps", str(fps), "--hashes"]
    if frames:
        args += ["--to", repr((frames - 1) / fps)]
    run = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        print(run.stderr)
        sys.exit("browser_frames: marrow-capture failed (status %d)" % run.returncode)
    out = run.stdout
    return [line.split() for line in out.splitlines() if line.strip()]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--web", required=True)
    ap.add_argument("--capture")
    ap.add_argument("--data")
    ap.add_argument("--fps", type=float, default=30)
    ap.add_argument("--frames", type=int, default=0, help="0: the whole soundtrack")
    ap.add_argument("--timeout", type=int, default=1200)
    ap.add_argument("--bench", action="store_true")
    ap.add_argument("--show", type=int, default=20, help="differing frames listed at most")
    a = ap.parse_args()

    if not chromium_command():
        print("browser_frames: no chromium on PATH; skipped")
        return SKIP
    if not os.path.isfile(os.path.join(a.web, "index.html")):
        print("browser_frames: no page in %s (make web builds it); skipped" % a.web)
        return SKIP

    if a.bench:
        result = page_result(a.web, "bench", a.timeout)
        print("%-14s %7s %9s %9s" % ("interval", "frames", "mean ms", "worst ms"))
        for row in result["bench"]:
            print("%-14s %7d %9.3f %9.3f" % (row["interval"], row["frames"], row["meanMs"], row["worstMs"]))
        print(result.get("userAgent", ""))
        return 0

    native = native_hashes(a.capture, a.data, a.fps, a.frames)
    result = page_result(a.web, "test=hashes&fps=%g&frames=%d" % (a.fps, len(native)), a.timeout)
    page = result["hashes"]
    if len(page) != len(native):
        print("browser_frames: the page composed %d frames, the desktop build %d" % (len(page), len(native)))
        return 1
    differing = [i for i, (n, p) in enumerate(zip(native, page)) if n[1] != p]
    for i in differing[:a.show]:
        print("frame %d at %s s: desktop %s, browser %s" % (i, native[i][0], native[i][1], page[i]))
    print("browser_frames: %d frames at %g a second, %d differ (browser pass %.1f s)"
          % (len(native), a.fps, len(differing), result.get("seconds", 0)))
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
