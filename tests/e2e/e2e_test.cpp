// e2e_test.cpp -- the real gridcity under a private Xvfb: window, frames, quitting, cameras, mouse
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
#include <gtest/gtest.h>

#include "harness.h"

#include <cstdlib>
#include <random>
#include <regex>
#include <unistd.h>

TEST(Window, FillsTheScreenAndKeepsDrawingFrames) {
    LAUNCH(x, g);
    Window w = xappwindow(x.d);
    ASSERT_NE(w, 0u);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(x.d, w, &a));
    EXPECT_EQ(a.width, 1024);
    EXPECT_EQ(a.height, 768);
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    EXPECT_TRUE(cursorhidden(x.d));

    xpicture first, later;
    ASSERT_TRUE(xgrab(x.d, first));
    double end = now() + 20;
    do {
        nap(0.1);
        ASSERT_TRUE(xgrab(x.d, later));
    } while (later.rgb == first.rgb && now() < end);
    EXPECT_NE(later.rgb, first.rgb) << "the picture stood still for 20 seconds";
    EXPECT_FALSE(uniform(later));
    EXPECT_FALSE(waitend(g, 0)) << errtext(g);
}

TEST(Quit, EscapeEndsTheRunWithStatusZero) {
    LAUNCH(x, g);
    double t = now();
    ASSERT_TRUE(xtap(x.d, "Escape"));
    ASSERT_TRUE(waitend(g, 10)) << "still running 10 s after Escape";
    EXPECT_LT(now() - t, 5.0);
    EXPECT_EQ(g.status, 0) << errtext(g);
}

TEST(Quit, WindowManagerCloseRequestEndsTheRunWithStatusZero) {
    LAUNCH(x, g);
    Window w = xappwindow(x.d);
    ASSERT_NE(w, 0u);
    double t = now();
    ASSERT_TRUE(xclose(x.d, w));
    ASSERT_TRUE(waitend(g, 10)) << "still running 10 s after the close request";
    EXPECT_LT(now() - t, 5.0);
    EXPECT_EQ(g.status, 0) << errtext(g);
}

// The roaming camera stands still while the car camera is shown, so after Up and Down the
// picture comes back to where it was, while the car camera's picture is a different one.
// A fault misses every round; a sound demo may miss a few: the roaming view turns over in a
// frame when its look-at point passes under the eye, and a fast glide among near beams changes
// much in a frame. So the most rounds, not all, must come back.
TEST(Camera, UpShowsTheCarCameraAndDownBringsTheRoamingOneBack) {
    LAUNCH(x, g);
    freeze(g);
    int same = 0;
    for (int round = 0; round < 5; round++) {
        xpicture roam, car, back;
        ASSERT_TRUE(runframes(g, x, 1, roam));
        ASSERT_TRUE(xtap(x.d, "Up"));
        ASSERT_TRUE(runframes(g, x, settle, car));
        ASSERT_TRUE(xtap(x.d, "Down"));
        ASSERT_TRUE(runframes(g, x, settle, back));
        same += sameview(roam, back, car);
    }
    EXPECT_GE(same, 3);
    thaw(g);
}

// Mouse input queued while the demo is frozen: afterwards the roaming camera is still the one
// drawn (and Up still switches away from it), the cursor stays hidden and Escape still quits.
TEST(Mouse, MotionAndClicksChangeNothing) {
    LAUNCH(x, g);
    freeze(g);
    std::mt19937 rng(1);
    int same = 0;
    for (int round = 0; round < 5; round++) {
        xpicture before, after, car;
        ASSERT_TRUE(runframes(g, x, 1, before));
        for (int i = 0; i < 300; i++) {
            xmotion(x.d, (int)(rng() % 1024), (int)(rng() % 768));
            if (i % 10 == 0) {
                int button = 1 + i / 10 % 5; // left, middle, right, wheel up, wheel down
                xbutton(x.d, button, true);
                xmotion(x.d, (int)(rng() % 1024), (int)(rng() % 768));
                xbutton(x.d, button, false);
            }
        }
        ASSERT_TRUE(runframes(g, x, settle, after));
        ASSERT_FALSE(waitend(g, 0)) << "the demo ended on mouse input: " << errtext(g);
        EXPECT_TRUE(cursorhidden(x.d));
        ASSERT_TRUE(xtap(x.d, "Up"));
        ASSERT_TRUE(runframes(g, x, settle, car));
        same += sameview(before, after, car);
        ASSERT_TRUE(xtap(x.d, "Down"));
        ASSERT_TRUE(runframes(g, x, settle, car));
    }
    EXPECT_GE(same, 3);

    thaw(g);
    ASSERT_TRUE(xtap(x.d, "Escape"));
    ASSERT_TRUE(waitend(g, 10));
    EXPECT_EQ(g.status, 0) << errtext(g);
}

static bool hasline(const std::string &text, const char *pattern) {
    return std::regex_search(text, std::regex(pattern, std::regex::multiline));
}

TEST(StartUp, DummyDriverFailsToSetTheVideoModeEvenWithADisplay) {
    xserver x;
    ASSERT_TRUE(startx(x)) << errtext(x.proc);
    child g;
    ASSERT_TRUE(startdemo(g, x, {{"SDL_VIDEODRIVER", "dummy"}}));
    ASSERT_TRUE(waitend(g, 10)) << "the demo runs on the dummy driver";
    EXPECT_EQ(g.status, 1);
    EXPECT_TRUE(hasline(errtext(g), "^Video mode set failed: .")) << errtext(g);
}

// With no X server, no Wayland socket and no driver named, SDL would fall back to its invisible
// offscreen driver; the demo must refuse it at once rather than run unseen forever.
TEST(StartUp, NoDisplayFailsQuicklyInsteadOfRunningUnseen) {
    char dir[] = "/tmp/gridcity-e2e-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    child g;
    double t = now();
    bool started = spawn(g, {GRIDCITY_BIN},
                         {{"DISPLAY", nullptr},
                          {"WAYLAND_DISPLAY", nullptr},
                          {"SDL_VIDEODRIVER", nullptr},
                          {"XDG_RUNTIME_DIR", dir}}); // no Wayland socket to find by default
    bool ended = started && waitend(g, 10);
    rmdir(dir);
    ASSERT_TRUE(ended) << "still running 10 s after start with no display";
    EXPECT_LT(now() - t, 3.0);
    EXPECT_EQ(g.status, 1);
    EXPECT_TRUE(hasline(errtext(g), "^Video .*failed: .")) << errtext(g);
}
