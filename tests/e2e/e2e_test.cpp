// e2e_test.cpp -- the real gridcity under a private Xvfb: window, frames, quitting, cameras, mouse
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(Window, FillsTheScreenAndKeepsDrawingFrames) {
    LAUNCH(x, g);
    Window w = xappwindow(x.d);
    ASSERT_NE(w, 0u);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(x.d, w, &a));
    EXPECT_EQ(a.width, WidthOfScreen(DefaultScreenOfDisplay(x.d)));
    EXPECT_EQ(a.height, HeightOfScreen(DefaultScreenOfDisplay(x.d)));
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

// Up shows the car camera from the step of the frame that drains it; Down brings back the roaming
// camera, which stood where it was left. Each frame is the replay's with the same presses, and
// each switch changes the picture clearly, so a key that did nothing could not pass.
TEST(Camera, UpShowsTheCarCameraAndDownBringsTheRoamingOneBack) {
    STEPPED(x, g, "7", false);
    ASSERT_TRUE(step(x, g, 9)) << errtext(g); // frame 10 on screen
    ASSERT_TRUE(xtap(x.d, "Up"));
    ASSERT_TRUE(step(x, g)) << errtext(g); // frame 11 drained it
    xpicture car, roam;
    ASSERT_NO_FATAL_FAILURE(sameasreplay(x, "7", 11, {"11:up"}, "up11", &car));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 11, {}, roam));
    EXPECT_GT(compare(car, roam).pixels, unlike);

    ASSERT_TRUE(step(x, g, 2)) << errtext(g);
    ASSERT_NO_FATAL_FAILURE(sameasreplay(x, "7", 13, {"11:up"}, "car13"));
    ASSERT_TRUE(xtap(x.d, "Down"));
    ASSERT_TRUE(step(x, g)) << errtext(g);
    xpicture back, still;
    ASSERT_NO_FATAL_FAILURE(sameasreplay(x, "7", 14, {"11:up", "14:down"}, "down14", &back));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 14, {"11:up"}, still));
    EXPECT_GT(compare(back, still).pixels, unlike);

    letgo(g);
    ASSERT_TRUE(xtap(x.d, "Escape"));
    ASSERT_TRUE(waitend(g, 10)) << "still running 10 s after Escape";
    EXPECT_EQ(g.status, 0) << errtext(g);
}

// Motion, drags, clicks and the wheel, queued while the demo stands, change nothing: the frames
// after them are the replay's without input, the cursor stays hidden, Up still switches the
// camera in the frame that drains it, and Escape still quits.
TEST(Mouse, MotionAndClicksChangeNothing) {
    STEPPED(x, g, "7", false);
    std::mt19937 rng(1);
    int frame = 1;
    for (int round = 0; round < 3; round++) {
        for (int i = 0; i < 300; i++) {
            xmotion(x.d, (int)(rng() % 1024), (int)(rng() % 768));
            if (i % 10 == 0) {
                int button = 1 + i / 10 % 5; // left, middle, right, wheel up, wheel down
                xbutton(x.d, button, true);
                xmotion(x.d, (int)(rng() % 1024), (int)(rng() % 768));
                xbutton(x.d, button, false);
            }
        }
        ASSERT_TRUE(step(x, g, 2)) << "the demo ended on mouse input: " << errtext(g);
        frame += 2;
        EXPECT_TRUE(cursorhidden(x.d));
    }
    ASSERT_NO_FATAL_FAILURE(sameasreplay(x, "7", frame, {}, "mouse"));
    ASSERT_TRUE(xtap(x.d, "Up"));
    ASSERT_TRUE(step(x, g)) << errtext(g);
    frame++;
    ASSERT_NO_FATAL_FAILURE(
        sameasreplay(x, "7", frame, {std::to_string(frame) + ":up"}, "mouseup"));

    letgo(g);
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

// The bus processes (dbus-launch, dbus-daemon) whose environment holds line: one the SDL layer
// autolaunches inherits the demo's, but leaves its group.
static std::vector<pid_t> buscarrying(const std::string &line) {
    std::vector<pid_t> found;
    for (const fs::directory_entry &e : fs::directory_iterator("/proc")) {
        std::string name = e.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string comm;
        std::getline(std::ifstream(e.path() / "comm"), comm);
        if (comm != "dbus-daemon" && comm != "dbus-launch") continue;
        std::ifstream env(e.path() / "environ");
        for (std::string var; std::getline(env, var, '\0');)
            if (var == line) found.push_back(std::stoi(name));
    }
    return found;
}

TEST(Bus, AKilledRunLeavesNoSessionBusBehind) {
    std::string value = std::to_string(getpid()), mark = "GRIDCITY_BUS_MARK=" + value;
    {
        xserver x;
        ASSERT_TRUE(startx(x)) << errtext(x.proc);
        child g;
        ASSERT_TRUE(startdemo(g, x, {{"GRIDCITY_BUS_MARK", value.c_str()}}));
        ASSERT_TRUE(drawnwithin(x, g, 60)) << errtext(g);
        stop(g); // SIGKILL to its group, as a harness's timeout sends
    }
    std::vector<pid_t> left = buscarrying(mark);
    for (pid_t p : left)
        kill(p, SIGTERM); // nor left behind by this test
    EXPECT_TRUE(left.empty()) << left.size() << " bus processes outlived the demo and its X server";
}
