// heap_test.cpp -- the demo and the replay's stills keep the memory freed between frames
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "harness.h"

#include <cstdio>
#include <string>
#include <unistd.h>

// What the preloaded shim found at the process's exit: the MB of 96 MB freed that the
// allocator handed back to the system (drivers/frameshim.cpp, SHIM_HEAP); -1 when it wrote nothing.
static long returned(const std::string &path) {
    long mb = -1;
    if (FILE *f = fopen(path.c_str(), "r")) {
        if (fscanf(f, "%ld", &mb) != 1) mb = -1;
        fclose(f);
    }
    remove(path.c_str());
    return mb;
}

TEST(Heap, DemoKeepsFreedMemory) {
    xserver x;
    ASSERT_TRUE(startx(x)) << "Xvfb did not start: " << errtext(x.proc);
    std::string out = "heap-demo-" + std::to_string(getpid());
    child g;
    ASSERT_TRUE(startdemo(g, x,
                          {{"LD_PRELOAD", FRAMESHIM},
                           {"SHIM_WARMUP", "1"},
                           {"SHIM_FRAMES", "1"},
                           {"SHIM_HEAP", out.c_str()}}));
    ASSERT_TRUE(waitend(g, 60)) << "gridcity still running after 60 s";
    ASSERT_EQ(g.status, 0) << errtext(g);
    EXPECT_EQ(returned(out), 0);
}

TEST(Heap, ReplayStillKeepsFreedMemory) {
    std::string out = "heap-replay-" + std::to_string(getpid()), png = out + ".png";
    child r;
    ASSERT_TRUE(
        spawn(r, {REPLAY_BIN, "--seed", "7", "--frames", "1", "--png", png},
              {{"DISPLAY", nullptr}, {"LD_PRELOAD", FRAMESHIM}, {"SHIM_HEAP", out.c_str()}}));
    ASSERT_TRUE(waitend(r, 60)) << "gridcity-replay still running after 60 s";
    remove(png.c_str());
    ASSERT_EQ(r.status, 0) << errtext(r);
    EXPECT_EQ(returned(out), 0);
}
