// stills.cpp -- replay stills, exact picture comparison, and the demo stepped by the shim
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include "pngio.h"
#include "render/render.h" // picturew, pictureh

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
    if (w * pictureh <= h * picturew) {
        b.w = w;
        b.h = w * pictureh / picturew;
    } else {
        b.h = h;
        b.w = h * picturew / pictureh;
    }
    // The layer places the picture by GL's rows, counted from the bottom: a spare row goes above.
    b.x = (w - b.w) / 2;
    b.y = h - b.h - (h - b.h) / 2;
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

// The still stretched over the box, bilinearly, sampled at pixel centres.
static int sample(const xpicture &s, const box &b, int x, int y, int k) {
    double fx = std::clamp((x - b.x + 0.5) * s.w / b.w - 0.5, 0.0, s.w - 1.0);
    double fy = std::clamp((y - b.y + 0.5) * s.h / b.h - 0.5, 0.0, s.h - 1.0);
    int x0 = (int)fx, y0 = (int)fy, x1 = std::min(x0 + 1, s.w - 1), y1 = std::min(y0 + 1, s.h - 1);
    double ax = fx - x0, ay = fy - y0;
    auto at = [&](int px, int py) { return (double)s.rgb[((size_t)py * s.w + px) * 3 + k]; };
    return (int)(at(x0, y0) * (1 - ax) * (1 - ay) + at(x1, y0) * ax * (1 - ay) +
                 at(x0, y1) * (1 - ax) * ay + at(x1, y1) * ax * ay + 0.5);
}

double mismatch(const xpicture &shot, const xpicture &still, const box &b) {
    double sum = 0;
    for (int y = b.y; y < b.y + b.h; y++)
        for (int x = b.x; x < b.x + b.w; x++)
            for (int k = 0; k < 3; k++)
                sum += abs(shot.rgb[((size_t)y * shot.w + x) * 3 + k] - sample(still, b, x, y, k));
    return sum / (3.0 * b.w * b.h);
}

// The demo's window: the one inside the host, else the top-level one.
static Window demowindow(Display *d, Window host) {
    if (!host) return xappwindow(d);
    Window r, p, *kids = nullptr, w = 0;
    unsigned int n = 0;
    if (XQueryTree(d, host, &r, &p, &kids, &n) && n) w = kids[n - 1];
    if (kids) XFree(kids);
    return w;
}

void showswhole(xserver &x, child &g, int &frame, const box &m, const char *stem, Window host) {
    // The window reaches the monitor's size while the demo runs its frames.
    XWindowAttributes a = {};
    double end = now() + 30;
    do {
        ASSERT_TRUE(step(x, g)) << errtext(g);
        frame++;
        Window w = demowindow(x.d, host);
        if (w) XGetWindowAttributes(x.d, w, &a);
    } while ((a.width != m.w || a.height != m.h) && now() < end);
    ASSERT_EQ(a.width, m.w);
    ASSERT_EQ(a.height, m.h);
    ASSERT_TRUE(step(x, g, 2)) << errtext(g); // one frame to see the new size, one to draw it
    frame += 2;

    xpicture shot, still, next;
    box b = letterbox(m.w, m.h);
    b.x += m.x;
    b.y += m.y;
    // A compositing window manager puts the frame on screen a moment after the swap, and the
    // GL driver may spend a frame on buffers of the new size: the frame is waited for, not
    // raced, one frame more at most.
    for (int more = 0; more < 2; more++) {
        if (more) {
            ASSERT_TRUE(step(x, g)) << errtext(g);
            frame++;
        }
        ASSERT_NO_FATAL_FAILURE(replaystill("7", frame, {}, still));
        end = now() + 10;
        do {
            XSync(x.d, False);
            ASSERT_TRUE(xgrab(x.d, shot));
        } while (mismatch(shot, still, b) >= 0.3 && now() < end && (nap(0.1), true));
        if (mismatch(shot, still, b) < 0.3) break;
    }
    ASSERT_NO_FATAL_FAILURE(replaystill("7", frame + 1, {}, next));
    if (b.w == picturew) {
        // Shown 1:1: the replay's picture exactly, wherever it is.
        xpicture part;
        part.w = picturew;
        part.h = pictureh;
        for (int y = 0; y < pictureh; y++)
            for (int i = 0; i < picturew * 3; i++)
                part.rgb.push_back(shot.rgb[((size_t)(b.y + y) * shot.w + b.x) * 3 + i]);
        EXPECT_TRUE(identical(part, still, stem));
    }
    // The layer's filtering stays within a hundredth of a level on average (measured 0.01);
    // the next frame is over a level away (1.26), so the threshold sits between.
    EXPECT_EQ(litoutside(shot, b), 0) << b.w << "x" << b.h << "+" << b.x << "+" << b.y;
    EXPECT_LT(mismatch(shot, still, b), 0.3) << "frame " << frame;
    EXPECT_GT(mismatch(shot, next, b), 0.3) << "frame " << frame + 1;
}

bool litedges(const xpicture &p, const box &b) {
    // A band of a fiftieth of the box at each edge: bars of a 4:3 picture in a 16:9 window are
    // an eighth of its width each, and a city may leave its very top row dark.
    int bx = std::max(1, b.w / 50), by = std::max(1, b.h / 50);
    auto lit = [&](int x0, int y0, int w, int h) {
        for (int y = y0; y < y0 + h; y++)
            for (int x = x0; x < x0 + w; x++) {
                const unsigned char *c = &p.rgb[((size_t)y * p.w + x) * 3];
                if (c[0] || c[1] || c[2]) return true;
            }
        return false;
    };
    return lit(b.x, b.y, bx, b.h) && lit(b.x + b.w - bx, b.y, bx, b.h) && lit(b.x, b.y, b.w, by) &&
           lit(b.x, b.y + b.h - by, b.w, by);
}

xpicture cut(const xpicture &p, const box &b) {
    xpicture c;
    c.w = b.w;
    c.h = b.h;
    for (int r = 0; r < b.h; r++)
        c.rgb.insert(c.rgb.end(), p.rgb.begin() + ((size_t)(b.y + r) * p.w + b.x) * 3,
                     p.rgb.begin() + ((size_t)(b.y + r) * p.w + b.x + b.w) * 3);
    return c;
}

void fillswhole(xserver &x, child &g, int &frame, const box &m, const char *stem, Window host) {
    // The host's new size reaches the saver while it runs its next frame; the frame after is
    // drawn at it.
    ASSERT_TRUE(step(x, g, 2)) << errtext(g);
    frame += 2;
    XWindowAttributes a = {};
    Window w = demowindow(x.d, host);
    ASSERT_TRUE(w && XGetWindowAttributes(x.d, w, &a));
    EXPECT_EQ(a.width, m.w);
    EXPECT_EQ(a.height, m.h);
    xpicture shot, still;
    XSync(x.d, False);
    ASSERT_TRUE(xgrab(x.d, shot));
    std::string view = std::to_string(m.w) + "x" + std::to_string(m.h);
    ASSERT_NO_FATAL_FAILURE(replaystill("7", frame, {}, still, view.c_str()));
    // The window's own buffer and the replay's offscreen surface (which the demo's picture also
    // goes through) round a few hundredths of the edges and shades differently: measured 0.33 to
    // 0.44 of a level on average, against 0.95 to 1.45 for the next frame.
    xpicture next;
    ASSERT_NO_FATAL_FAILURE(replaystill("7", frame + 1, {}, next, view.c_str()));
    EXPECT_LT(mismatch(shot, still, m), 0.65) << stem << ", frame " << frame << " at " << view;
    EXPECT_GT(mismatch(shot, next, m), 0.65) << stem << ", frame " << frame + 1;
    EXPECT_EQ(litoutside(shot, m), 0);
}

// A file name in the test's working directory, removed when it goes.
struct scratch {
    std::string path;
    explicit scratch(const char *stem, const char *ext)
        : path(std::string(stem) + "-" + std::to_string(getpid()) + ext) {}
    ~scratch() { remove(path.c_str()); }
};

void replaystill(const char *seed, int n, const std::vector<std::string> &presses, xpicture &p,
                 const char *view) {
    scratch out("replay-still", ".png");
    std::vector<std::string> argv = {REPLAY_BIN,        "--seed", seed,    "--frames",
                                     std::to_string(n), "--png",  out.path};
    if (view) argv.insert(argv.end(), {"--view", view});
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

void startstepping(xserver &x, child &g, const char *seed, bool free,
                   const std::vector<std::string> &argv) {
    remove(framefile.path.c_str());
    ASSERT_TRUE(spawn(g, argv,
                      {{"DISPLAY", x.name.c_str()},
                       {"WAYLAND_DISPLAY", nullptr},
                       {"LD_PRELOAD", FRAMESHIM},
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
