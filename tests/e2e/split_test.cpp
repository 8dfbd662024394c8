// split_test.cpp -- the demo hands each frame to the driver before its 6 ms wait
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "harness.h"

#include <cstdio>
#include <string>
#include <unistd.h>

// The frame shim's split (drivers/frameshim.cpp, SHIM_SPLIT) waits on a fence put after the
// frame's flush; its third part, the wait while that frame is rasterised, is more than nothing
// only when a flush came between the drawing calls and the wait.
TEST(Frame, DemoFlushesBeforeItsWait) {
    xserver x;
    ASSERT_TRUE(startx(x)) << "Xvfb did not start: " << errtext(x.proc);
    std::string out = "split-demo-" + std::to_string(getpid());
    child g;
    ASSERT_TRUE(startdemo(g, x,
                          {{"LD_PRELOAD", FRAMESHIM},
                           {"SHIM_WARMUP", "2"},
                           {"SHIM_FRAMES", "2"},
                           {"SHIM_SPLIT", out.c_str()}}));
    ASSERT_TRUE(waitend(g, 60)) << "gridcity still running after 60 s";
    ASSERT_EQ(g.status, 0) << errtext(g);
    double part[3] = {-1, -1, -1};
    FILE *f = fopen(out.c_str(), "r");
    ASSERT_TRUE(f) << "the shim wrote no split";
    int got = fscanf(f, "%lf %lf %lf", &part[0], &part[1], &part[2]);
    fclose(f);
    remove(out.c_str());
    ASSERT_EQ(got, 3);
    EXPECT_GT(part[2], 0.0);
}
