// memcheck_test.cpp -- the real demo under valgrind's memcheck on a private Xvfb
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "harness.h"

#include <regex>

// A few frames through each camera, then Escape: every memcheck error fails the test, save the
// loader noise that valgrind.supp names. llvmpipe draws on the main thread, which keeps
// valgrind's single-threaded replay short.
TEST(Memcheck, DemoRunsBothCamerasWithoutMemoryErrors) {
    xserver x;
    ASSERT_TRUE(startx(x)) << errtext(x.proc);
    child g;
    ASSERT_TRUE(spawn(
        g,
        {VALGRIND_BIN, "--tool=memcheck", "--error-exitcode=99", "--leak-check=no",
         "--track-origins=no", "--num-callers=40", "--suppressions=" VALGRIND_SUPP, GRIDCITY_BIN},
        {{"DISPLAY", x.name.c_str()}, {"WAYLAND_DISPLAY", nullptr}, {"LP_NUM_THREADS", "0"}}));
    ASSERT_TRUE(drawnwithin(x, g, 240)) << errtext(g);

    // The frames counted are frames seen drawn; the demo never stops in between.
    xpicture p;
    ASSERT_TRUE(runframes(g, x, 3, p, 120)) << errtext(g);
    ASSERT_TRUE(xtap(x.d, "Up"));
    ASSERT_TRUE(runframes(g, x, 3, p, 120)) << errtext(g);
    thaw(g);
    ASSERT_TRUE(xtap(x.d, "Escape"));
    ASSERT_TRUE(waitend(g, 120)) << errtext(g);

    std::string log = errtext(g);
    EXPECT_EQ(g.status, 0) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("ERROR SUMMARY: 0 errors"))) << log;
    EXPECT_FALSE(std::regex_search(log, std::regex("ERROR SUMMARY: [1-9]"))) << log;
}
