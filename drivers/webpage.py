#!/usr/bin/env python3
# webpage.py -- gridcity's page in headless Chromium, served from 127.0.0.1, driven through the
# DevTools protocol over a pipe: the dump's hash, the canvas as a PNG, the frame rate
# SPDX-License-Identifier: MIT
#
# usage: drivers/webpage.py [--dir build-web] xxh3 QUERY        the page's dump hash for ?QUERY
#        drivers/webpage.py [--dir build-web] shot QUERY FILE   the canvas once ?QUERY has stopped
#        drivers/webpage.py [--dir build-web] fps [SEED...]     drawn frames per second, 60 after
#                                                             10, seeds 1001 to 1004 by default
import base64
import contextlib
import fcntl
import functools
import http.server
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

FLAGS = ["--headless=new", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--no-sandbox", "--disable-background-networking", "--disable-component-update",
         "--disable-sync", "--no-first-run", "--no-default-browser-check",
         "--window-size=1024,768", "--remote-debugging-pipe"]


class PageError(Exception):
    pass


@contextlib.contextmanager
def serve(folder):
    """A static server for folder on 127.0.0.1, on a free port; its address."""
    quiet = type("Quiet", (http.server.SimpleHTTPRequestHandler,),
                 {"log_message": lambda *a: None})
    handler = functools.partial(quiet, directory=folder)
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    httpd.handle_error = lambda *a: None  # a browser that hangs up mid-file is no fault
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    try:
        yield "http://127.0.0.1:%d/" % httpd.server_address[1]
    finally:
        httpd.shutdown()
        httpd.server_close()


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    raise PageError("no chromium on the PATH")


class Browser:
    """Headless Chromium with one page; DevTools messages are NUL-ended JSON on fds 3 and 4."""

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="gridcity-chromium-")
        tochrome, self.out = os.pipe()
        self.inp, fromchrome = os.pipe()
        # Out of the way of 3 and 4, where the child wants them.
        r = fcntl.fcntl(tochrome, fcntl.F_DUPFD, 10)
        w = fcntl.fcntl(fromchrome, fcntl.F_DUPFD, 10)
        os.close(tochrome)
        os.close(fromchrome)

        def pipes():
            os.dup2(r, 3)
            os.dup2(w, 4)

        self.proc = subprocess.Popen(
            [chromium()] + FLAGS + ["--user-data-dir=" + self.profile, "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            preexec_fn=pipes, pass_fds=(3, 4))
        os.close(r)
        os.close(w)
        self.stderr = []
        threading.Thread(target=lambda: self.stderr.extend(self.proc.stderr), daemon=True).start()
        self.replies = {}
        self.lock = threading.Condition()
        self.next = 0
        threading.Thread(target=self.read, daemon=True).start()
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.session = self.call("Target.attachToTarget", targetId=target,
                                 flatten=True)["sessionId"]
        self.errors = []  # console errors, uncaught exceptions and error log entries
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable", page=True)
        self.call("Emulation.setDeviceMetricsOverride", page=True, width=1024, height=768,
                  deviceScaleFactor=1, mobile=False)

    def read(self):
        buf = b""
        while True:
            chunk = os.read(self.inp, 1 << 16)
            if not chunk:
                break
            buf += chunk
            while b"\0" in buf:
                raw, buf = buf.split(b"\0", 1)
                msg = json.loads(raw)
                if "id" in msg:
                    with self.lock:
                        self.replies[msg["id"]] = msg
                        self.lock.notify_all()
                else:
                    self.event(msg)
        with self.lock:
            self.replies[None] = {}
            self.lock.notify_all()

    def event(self, msg):
        m, p = msg.get("method"), msg.get("params", {})
        if m == "Runtime.exceptionThrown":
            d = p["exceptionDetails"]
            self.errors.append(d.get("exception", {}).get("description") or d.get("text"))
        elif m == "Runtime.consoleAPICalled" and p["type"] in ("error", "assert"):
            self.errors.append(" ".join(str(a.get("value", a.get("description")))
                                        for a in p["args"]))
        elif m == "Log.entryAdded" and p["entry"]["level"] == "error":
            self.errors.append(p["entry"]["text"])

    def call(self, method, page=False, timeout=60, **params):
        with self.lock:
            self.next += 1
            n = self.next
        msg = {"id": n, "method": method, "params": params}
        if page:
            msg["sessionId"] = self.session
        os.write(self.out, json.dumps(msg).encode() + b"\0")
        end = time.monotonic() + timeout
        with self.lock:
            while n not in self.replies:
                if None in self.replies:
                    raise PageError("chromium ended: " + b"".join(self.stderr[-5:]).decode())
                if not self.lock.wait(end - time.monotonic()):
                    raise PageError(method + " had no answer in %d s" % timeout)
            reply = self.replies.pop(n)
        if "error" in reply:
            raise PageError(method + ": " + reply["error"].get("message", ""))
        return reply["result"]

    def eval(self, expr, timeout=60):
        r = self.call("Runtime.evaluate", page=True, timeout=timeout, expression=expr,
                      returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in r:
            raise PageError(expr + ": " + r["exceptionDetails"].get("text", ""))
        return r["result"].get("value")

    def open(self, url):
        self.call("Page.navigate", page=True, url=url)

    def until(self, expr, timeout=120):
        """Waits for expr to be truthy in the page; its value."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            v = self.eval(expr)
            if v:
                return v
            time.sleep(0.05)
        line = self.eval("document.getElementById('info')?.textContent.trim() ?? ''")
        raise PageError("waited %d s for %s; the page says: %s" % (timeout, expr, line))

    def canvas(self):
        """The canvas as PNG bytes, with the page's line hidden."""
        self.eval("document.getElementById('info').style.display = 'none'")
        self.eval("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))")
        box = self.eval("(() => { const r = document.getElementById('canvas')"
                        ".getBoundingClientRect(); return [r.x, r.y, r.width, r.height]; })()")
        shot = self.call("Page.captureScreenshot", page=True, format="png",
                         clip=dict(x=box[0], y=box[1], width=box[2], height=box[3], scale=1))
        return base64.b64decode(shot["data"])

    def close(self):
        with contextlib.suppress(Exception):
            self.call("Browser.close", timeout=10)
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc.stderr.close()
        os.close(self.out)
        os.close(self.inp)
        shutil.rmtree(self.profile, ignore_errors=True)


@contextlib.contextmanager
def page(folder):
    """The page's address and a browser to open it in; both go afterwards."""
    with serve(folder) as url:
        b = Browser()
        try:
            yield url, b
        finally:
            b.close()


STARTED = "document.getElementById('seed')?.textContent.startsWith('gridcity, seed')"
FRAMES = "Module._gc_frames() >>> 0"  # the city's steps
DRAWN = "page.drawn"  # the animation frames that drew some
DUMPHASH = "Module.ccall('gc_dumphash', 'string', [], [])"  # of the store as it stands


def xxh3(b, url, query):
    b.open(url + "index.html?" + query)
    return b.until("document.getElementById('dump-xxh3')?.textContent || "
                   "document.getElementById('message')?.textContent && "
                   "'message: ' + document.getElementById('message').textContent")


def shot(b, url, query, frames):
    """The canvas after the page has run frames frames and stopped there."""
    b.open(url + "index.html?" + query)
    b.until(STARTED)
    b.until("(%s) >= %d" % (FRAMES, frames))
    return b.canvas()


def fps(b, url, seed, warmup=10, frames=60):
    """The page's rate of drawn frames over frames of seed's city, after warmup of them."""
    b.open(url + "index.html?seed=%d" % seed)
    b.until(STARTED)
    return b.eval("""new Promise(done => {
        let t0;
        const tick = () => {
          const f = %s;
          if (f >= %d && t0 === undefined) t0 = [f, performance.now()];
          if (t0 && f >= t0[0] + %d) done((f - t0[0]) * 1000 / (performance.now() - t0[1]));
          else requestAnimationFrame(tick);
        };
        requestAnimationFrame(tick);
      })""" % (DRAWN, warmup, frames), timeout=600)


def main(argv):
    folder = "build-web"
    if argv[:1] == ["--dir"]:
        folder, argv = argv[1], argv[2:]
    if not os.path.exists(os.path.join(folder, "index.html")):
        sys.exit("webpage.py: %s/index.html is missing; make web builds it" % folder)
    with page(folder) as (url, b):
        if argv[:1] == ["xxh3"] and len(argv) == 2:
            print(xxh3(b, url, argv[1]))
        elif argv[:1] == ["shot"] and len(argv) == 3:
            frames = int(urllib.parse.parse_qs(argv[1]).get("frames", [1])[0])
            with open(argv[2], "wb") as f:
                f.write(shot(b, url, argv[1], frames))
        elif argv[:1] == ["fps"]:
            rates = []
            for seed in [int(s) for s in argv[1:]] or [1001, 1002, 1003, 1004]:
                rates.append(fps(b, url, seed))
                print("  page seed %d: %.3f fps" % (seed, rates[-1]))
            print("page fps: median %.3f (min %.3f, max %.3f)" %
                  (statistics.median(rates), min(rates), max(rates)))
        else:
            sys.exit("see the usage at the top of drivers/webpage.py")
        for e in b.errors:
            print("page error:", e, file=sys.stderr)


if __name__ == "__main__":
    main(sys.argv[1:])
