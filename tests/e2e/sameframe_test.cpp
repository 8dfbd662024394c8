// sameframe_test.cpp -- the real demo, stopped on a frame, shows what gridcity-replay draws for it
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include <string>

// gridcity-replay's still of seed s after n frames, with an Up press in frame up when not 0.
static void replaystill(const char *seed, int n, int up, xpicture &p) {
    std::vector<std::string> presses;
    if (up) presses.push_back(std::to_string(up) + ":up");
    replaystill(seed, n, presses, p);
}

// The real demo with seed s, stopped by the preloaded shim right after the swap of its frame n
// (an Up press drained in frame up when not 0); the screen as it stands then.
static void demoframe(const char *seed, int n, int up, xpicture &shot) {
    xserver x;
    ASSERT_TRUE(startx(x)) << "Xvfb did not start: " << errtext(x.proc);
    child g;
    std::string frame = std::to_string(n), press = std::to_string(up);
    ASSERT_TRUE(startdemo(g, x,
                          {{"LD_PRELOAD", FRAMESHIM},
                           {"SHIM_SEED", seed},
                           {"SHIM_STOP", frame.c_str()},
                           {"SHIM_UP", up ? press.c_str() : nullptr}}));
    ASSERT_TRUE(waitstopped(g, 120)) << "never stopped (ended: " << g.ended << ", status "
                                     << g.status << "); gridcity said: " << errtext(g);
    // Identity below needs 8 bits a channel on screen; a 16-bit visual would round colours.
    Window w = xappwindow(x.d);
    ASSERT_NE(w, 0u);
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(x.d, w, &a));
    ASSERT_EQ(a.depth, 24) << "the demo's window is not 8 bits a channel";
    XSync(x.d, False);
    ASSERT_TRUE(xgrab(x.d, shot));
    // It goes on and quits as a user would have it, so a stop that broke the loop shows.
    letgo(g);
    ASSERT_TRUE(xtap(x.d, "Escape"));
    ASSERT_TRUE(waitend(g, 20)) << "still running 20 s after Escape";
    EXPECT_EQ(g.status, 0) << errtext(g);
}

TEST(SameFrame, RoamingCameraFrame30IsTheReplaysFrame30) {
    xpicture shot, same, before, after;
    ASSERT_NO_FATAL_FAILURE(demoframe("7", 30, 0, shot));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 30, 0, same));
    EXPECT_TRUE(identical(shot, same, "roam30"));
    // One frame either way is another picture: the demo stops on the frame asked for.
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 29, 0, before));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 31, 0, after));
    EXPECT_GT(compare(shot, before).pixels, unlike);
    EXPECT_GT(compare(shot, after).pixels, unlike);
}

TEST(SameFrame, UpPressedInFrame20ShowsTheReplaysCarCameraInFrame24) {
    xpicture shot, same, roam, early, late;
    ASSERT_NO_FATAL_FAILURE(demoframe("7", 24, 20, shot));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 24, 20, same));
    EXPECT_TRUE(identical(shot, same, "up24"));
    // Without the press it is the roaming camera; a press a frame early or late gives the car
    // camera one step more or less. So the match says the key landed in frame 20's drain.
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 24, 0, roam));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 24, 19, early));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 24, 21, late));
    EXPECT_GT(compare(shot, roam).pixels, unlike);
    EXPECT_GT(compare(shot, early).pixels, unlike);
    EXPECT_GT(compare(shot, late).pixels, unlike);
}

TEST(SameFrame, OtherSeedIsNotTheReplaysPicture) {
    // The seed reaches the demo through the shim: seed 8's frame 30 is not seed 7's.
    xpicture shot, seven, eight;
    ASSERT_NO_FATAL_FAILURE(demoframe("8", 30, 0, shot));
    ASSERT_NO_FATAL_FAILURE(replaystill("8", 30, 0, eight));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 30, 0, seven));
    EXPECT_TRUE(identical(shot, eight, "seed8"));
    EXPECT_GT(compare(shot, seven).pixels, unlike);
}
