// stills.cpp -- replay stills, exact picture comparison, and the demo stepped by the shim
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include "pngio.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

diff compare(const xpicture &a, const xpicture &b) {
    diff d;
    if (a.w != b.w || a.h != b.h || a.rgb.size() != b.rgb.size()) {
        d.pixels = -1;
        return d;
    }
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        int m = 0;
        for (int k = 0; k < 3; k++)
            m = std::max(m, abs(a.rgb[i + k] - b.rgb[i + k]));
        if (m) d.pixels++;
        d.most = std::max(d.most, m);
    }
    return d;
}

box letterbox(int w, int h) {
    box b;
    if (w * 768 <= h * 1024) {
        b.w = w;
        b.h = w * 768 / 1024;
    } else {
        b.h = h;
        b.w = h * 1024 / 768;
    }
    b.x = (w - b.w) / 2;
    b.y = (h - b.h) / 2;
    return b;
}

bool inside(const box &b, int x, int y) {
    return x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h;
}

long litoutside(const xpicture &p, const box &b, int dx, int dy) {
    box at = {b.x + dx, b.y + dy, b.w, b.h};
    long lit = 0;
    for (int y = 0; y < p.h; y++)
        for (int x = 0; x < p.w; x++) {
            const unsigned char *c = &p.rgb[((size_t)y * p.w + x) * 3];
            if (!inside(at, x, y)) lit += c[0] || c[1] || c[2];
        }
    return lit;
}

// A file name in the test's working directory, removed when it goes.
struct scratch {
    std::string path;
    explicit scratch(const char *stem, const char *ext)
        : path(std::string(stem) + "-" + std::to_string(getpid()) + ext) {}
    ~scratch() { remove(path.c_str()); }
};

void replaystill(const char *seed, int n, const std::vector<std::string> &presses, xpicture &p) {
    scratch out("replay-still", ".png");
    std::vector<std::string> argv = {REPLAY_BIN,        "--seed", seed,    "--frames",
                                     std::to_string(n), "--png",  out.path};
    for (const std::string &press : presses) {
        argv.push_back("--press");
        argv.push_back(press);
    }
    child r;
    ASSERT_TRUE(spawn(r, argv, {{"DISPLAY", nullptr}}));
    ASSERT_TRUE(waitend(r, 60)) << "gridcity-replay still running after 60 s";
    ASSERT_EQ(r.status, 0) << errtext(r);
    ASSERT_TRUE(readpng(out.path.c_str(), p.w, p.h, p.rgb)) << "cannot decode " << out.path;
}

bool identical(const xpicture &shot, const xpicture &still, const char *stem) {
    diff d = compare(shot, still);
    if (d.pixels == 0) return true;
    std::string s = std::string("sameframe-") + stem + "-" + std::to_string(getpid());
    xsavepng((s + "-demo.png").c_str(), shot);
    xsavepng((s + "-replay.png").c_str(), still);
    printf("%s: %ld pixels differ, by up to %d levels (%s-*.png)\n", stem, d.pixels, d.most,
           s.c_str());
    return false;
}

void sameasreplay(xserver &x, const char *seed, int n, const std::vector<std::string> &presses,
                  const char *stem, xpicture *shot) {
    xpicture here, still;
    xpicture &p = shot ? *shot : here;
    XSync(x.d, False);
    ASSERT_TRUE(xgrab(x.d, p));
    ASSERT_NO_FATAL_FAILURE(replaystill(seed, n, presses, still));
    EXPECT_TRUE(identical(p, still, stem)) << "frame " << n;
}

// Where the shim writes the frame it stopped on; one stepping demo at a time per test process.
static scratch framefile("stepped-frame", ".txt");

void startstepping(xserver &x, child &g, const char *seed, bool free) {
    remove(framefile.path.c_str());
    ASSERT_TRUE(startdemo(g, x,
                          {{"LD_PRELOAD", FRAMESHIM},
                           {"SHIM_SEED", seed},
                           {"SHIM_STOP", free ? "0" : "1"},
                           {"SHIM_COUNT", framefile.path.c_str()}}));
    if (free) {
        ASSERT_TRUE(drawnwithin(x, g, 60)) << "nothing drawn; gridcity said: " << errtext(g);
    } else {
        ASSERT_TRUE(waitstopped(g, 120))
            << "never stopped after its first frame (ended: " << g.ended << ", status " << g.status
            << "); gridcity said: " << errtext(g);
    }
}

bool step(xserver &x, child &g, int n) {
    // The server has delivered the fake input to the demo's buffer once it answers us, and
    // flushes that buffer in the same pass as our reply; a second round trip is answered only
    // after that pass has ended, so the input is in the demo's socket before it goes on.
    XSync(x.d, False);
    XSync(x.d, False);
    for (int i = 0; i < n; i++) {
        kill(g.pid, SIGCONT);
        if (!waitstopped(g, 60)) return false;
    }
    return true;
}

long stepnow(child &g) {
    kill(g.pid, SIGUSR1);
    if (!waitstopped(g, 60)) return 0;
    FILE *f = fopen(framefile.path.c_str(), "r");
    long frame = 0;
    if (f) {
        if (fscanf(f, "%ld", &frame) != 1) frame = 0;
        fclose(f);
    }
    return frame;
}

void letgo(child &g) {
    // Both are pending while it stands; the handler has run by the time it draws again.
    kill(g.pid, SIGUSR2);
    kill(g.pid, SIGCONT);
}
