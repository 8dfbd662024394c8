// pace_test.cpp -- the saver's clock against a driven one: 60 steps a second whatever the
// display's rate, at most 4 a frame, no burst after a pause
// SPDX-License-Identifier: MIT
#include "app/pace.h"

#include <gtest/gtest.h>

// The steps n frames at the given rate run in all, from a first frame at start ms.
static int run(pace &p, double start, double fps, int n) {
    int steps = 0;
    for (int i = 0; i < n; i++)
        steps += due(p, start + i * 1000.0 / fps);
    return steps;
}

TEST(Pace, SixtyStepsASecondAtAnyDisplayRate) {
    // The first frame runs one step; a second of frames after it runs 60 more.
    for (double fps : {60.0, 144.0, 30.0, 24.0, 59.94}) {
        pace p;
        int n = (int)(fps + 0.5);
        EXPECT_NEAR(run(p, 5000, fps, n + 1), 61, 1) << fps << " frames a second";
    }
    pace p; // whole milliseconds, as SDL_GetTicks gives, still one step a frame at 60
    int ones = 0;
    for (int i = 0; i < 600; i++)
        ones += due(p, (double)(i * 50 / 3)) == 1;
    EXPECT_EQ(ones, 600);
}

TEST(Pace, AtMostFourStepsAFrameAndNoBurstAfterAPause) {
    pace p;
    EXPECT_EQ(run(p, 0, 10, 11), 1 + 10 * 4);  // 6 owed a frame, 4 run, the rest dropped
    EXPECT_EQ(due(p, 1000 + 60000), maxsteps); // a minute stopped: 4 steps, not 3600
    EXPECT_EQ(due(p, 1000 + 60000 + steptime), 1);
    EXPECT_EQ(due(p, 10), 1); // a clock that went back (wrapped) starts again
    EXPECT_EQ(due(p, 10 + steptime), 1);
}
