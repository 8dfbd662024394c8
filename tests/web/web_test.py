#!/usr/bin/env python3
# web_test.py -- the browser page in headless Chromium against gridcity-replay: the same scene
# byte for byte, the same picture within a rasteriser's difference, and a page that keeps going
# SPDX-License-Identifier: MIT
#
# usage: web_test.py --dir BUILD-WEB --replay GRIDCITY-REPLAY
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [here, os.path.join(here, "..", "..", "tools")]
import pictures  # noqa: E402
import webpage  # noqa: E402

opts = None


def replay(seed, frames, presses, *out):
    args = [opts.replay, "--seed", str(seed), "--frames", str(frames)]
    for p in presses:
        args += ["--press", p]
    return subprocess.run(args + list(out), check=True, stdout=subprocess.PIPE).stdout


def query(seed, frames, presses):
    q = "seed=%s&frames=%d" % (seed, frames)
    return q + ("&press=" + ",".join(presses) if presses else "")


class Page(unittest.TestCase):
    def setUp(self):
        self.page = webpage.page(opts.dir)
        self.url, self.b = self.page.__enter__()
        self.addCleanup(self.page.__exit__, None, None, None)

    def noerrors(self):
        self.assertEqual(self.b.errors, [], "the page reported errors")

    def test_dump_hash_matches_the_replay(self):
        # The world alone; a press; two presses in one frame across a sweep end and a new
        # programme (the cycler wraps every 1200 frames, the director every 2000).
        for seed, frames, presses in [(0, 0, []), (7, 30, ["10:up"]),
                                      (2026, 2500, ["700:up", "1500:down", "1500:up"])]:
            want = hashlib.sha256(replay(seed, frames, presses, "--dump", "-")).hexdigest()
            got = webpage.sha256(self.b, self.url, query(seed, frames, presses) + "&dump=sha256")
            self.assertEqual(got, want, "seed %s, %d frames, presses %s" % (seed, frames, presses))
        self.noerrors()

    def test_canvas_looks_like_the_still_and_a_bad_address_still_animates(self):
        # Measured: seed 7's frame 30 differs from the replay's still in under 2% of pixels by
        # more than 16 of 255 (edges and coplanar faces rasterised differently); its frame 31
        # differs in 26%.
        seed, frames, presses = 7, 30, ["10:up"]
        with tempfile.TemporaryDirectory() as tmp:
            still = os.path.join(tmp, "still.png")
            replay(seed, frames, presses, "--png", still)
            with open(still, "rb") as f:
                want = pictures.readpng(f.read())
        shot = webpage.shot(self.b, self.url, query(seed, frames, presses), frames)
        self.assertLess(pictures.unlike(pictures.readpng(shot), want, 16), 0.05)

        self.b.open(self.url + "index.html?seed=12x&press=up")
        self.b.until(webpage.STARTED)
        message = self.b.eval("document.getElementById('message').textContent")
        self.assertEqual(message, "seed '12x' is not a number from 0 to 4294967295")
        seed = self.b.eval("Module._gc_seed() >>> 0")
        link = self.b.eval("document.querySelector('#seed a').href")
        self.assertTrue(link.endswith("/index.html?seed=%d" % seed), link)
        first = self.b.eval(webpage.FRAMES)
        self.b.until("(%s) > %d" % (webpage.FRAMES, first + 5), timeout=60)
        self.noerrors()

    def test_f_and_a_double_click_toggle_full_screen(self):
        self.b.open(self.url + "index.html?seed=5")
        self.b.until(webpage.STARTED)
        full = "!!document.fullscreenElement"
        for t in ("keyDown", "keyUp"):
            self.b.call("Input.dispatchKeyEvent", page=True, type=t, key="f", code="KeyF",
                        windowsVirtualKeyCode=70)
        self.assertTrue(self.b.until(full, timeout=10))
        for t in ("mousePressed", "mouseReleased"):
            self.b.call("Input.dispatchMouseEvent", page=True, type=t, x=500, y=300,
                        button="left", clickCount=2)
        self.b.until("!" + full, timeout=10)
        self.noerrors()


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--dir", required=True)
    p.add_argument("--replay", required=True)
    opts, rest = p.parse_known_args()
    if not os.path.exists(os.path.join(opts.dir, "index.html")):
        sys.exit("web_test.py: %s/index.html is missing; make web builds it" % opts.dir)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
