// camera_test.cpp -- the camera director: programme clock, roaming legs, car camera, freezing
// SPDX-License-Identifier: MIT
#include "anim/anim.h"
#include "app/app.h"
#include "helpers.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Camera : public ::testing::Test {
  protected:
    void SetUp() override {
        resetscene();
        gencams();
        seedrandom(20240601);
    }
};

float eyecoord(const mycam &c, int axis) {
    return axis == 0 ? c.xcampos : axis == 1 ? c.ycampos : c.zcampos;
}
float lookcoord(const mycam &c, int axis) {
    return axis == 0 ? c.xlookpos : axis == 1 ? c.ylookpos : c.zlookpos;
}

// The programme a clock draw picks and the start value it sets, from its two draws.
void expectprogramme(const std::vector<int> &t) {
    int f = t[0] % 2;
    EXPECT_EQ(fx, f);
    EXPECT_EQ(whichcam, f);
    EXPECT_EQ(fxcounter, f == 0 ? 1200 + t[1] % 800 : 1700 + t[1] % 300);
}

} // namespace

TEST_F(Camera, ClockDrawsNoProgrammeInSteps1To600AndOneInStep601) {
    for (int step = 1; step <= 600; step++) {
        programclock();
        ASSERT_EQ(randomdraws, 0u) << "step " << step;
        ASSERT_EQ(whichcam, 0) << "step " << step;
    }
    EXPECT_EQ(fxcounter, 2000);
    std::vector<int> t = peek(2);
    programclock();
    EXPECT_EQ(randomdraws, 2u);
    expectprogramme(t);
}

TEST_F(Camera, ProgrammesLast2001MinusTheirStartValue) {
    fxcounter = 2000; // the next step draws
    int drawn[2] = {0, 0};
    int start = 0, steps = 0;
    bool first = true;
    for (int step = 0; step < 150000; step++) {
        uint64_t before = randomdraws;
        std::vector<int> t = peek(2);
        programclock();
        steps++;
        if (randomdraws == before) continue;
        ASSERT_EQ(randomdraws - before, 2u);
        // The previous programme ran from its draw step up to the step before this one.
        if (!first) {
            ASSERT_EQ(steps - 1, 2001 - start) << "start value " << start;
        }
        first = false;
        expectprogramme(t);
        if (fx == 0) {
            ASSERT_TRUE(fxcounter >= 1200 && fxcounter <= 1999) << fxcounter;
        }
        if (fx == 1) {
            ASSERT_TRUE(fxcounter >= 1700 && fxcounter <= 1999) << fxcounter;
        }
        drawn[fx]++;
        start = fxcounter;
        steps = 1;
    }
    EXPECT_GT(drawn[0], 50);
    EXPECT_GT(drawn[1], 50);
}

// A drawn programme above the highest number falls back to the roaming one.
TEST_F(Camera, ProgrammeAboveTheHighestNumberBecomesRoaming) {
    maxfx = 0;
    int fallbacks = 0;
    for (int k = 0; k < 40; k++) {
        fxcounter = 2000;
        std::vector<int> t = peek(2);
        programclock();
        fallbacks += t[0] % 2 == 1;
        EXPECT_EQ(fx, 0);
        EXPECT_EQ(whichcam, 0);
        EXPECT_EQ(fxcounter, 1200 + t[1] % 800);
    }
    EXPECT_GT(fallbacks, 5);
}

TEST_F(Camera, ProgrammeStartingAt1999LastsTwoSteps) {
    fxcounter = 1999; // as a draw leaves it
    programclock();
    EXPECT_EQ(randomdraws, 0u);
    programclock();
    EXPECT_EQ(randomdraws, 2u);
}

TEST_F(Camera, ArrowKeyChoiceHoldsUntilTheClockDrawsAgain) {
    fxcounter = 1500;
    SDL_Event up = keydown(SDLK_UP);
    HandleEvent(&up);
    EXPECT_EQ(fxcounter, 1500); // the key leaves the clock alone
    for (int step = 0; step < 500; step++) {
        director();
        ASSERT_EQ(whichcam, 1) << "step " << step;
    }
    EXPECT_EQ(fxcounter, 2000);
    uint64_t before = randomdraws;
    std::vector<int> t = peek(2);
    director();
    EXPECT_GE(randomdraws - before, 2u);
    expectprogramme(t);
}

// The programme drawn in a step decides which camera that same step advances.
TEST_F(Camera, CameraChosenByADrawAdvancesInTheSameStep) {
    fxcounter = 2000;
    mycam roam = mycamz[0], ride = mycamz[1];
    std::vector<int> t = peek(2);
    director();
    int f = t[0] % 2;
    EXPECT_EQ(whichcam, f);
    EXPECT_EQ(samebytes(mycamz[0], roam), f == 1);
    EXPECT_EQ(samebytes(mycamz[1], ride), f == 0);
}

TEST_F(Camera, FirstRoamingStepStartsXLegsFromTheStartWaypoints) {
    std::vector<int> t = peek(3);
    roamcam();
    const mycam &c = mycamz[0];
    EXPECT_EQ(randomdraws, 3u);
    // Draws in order: eye coordinate, eye duration, look-at coordinate.
    EXPECT_EQ(c.xcampos, f32((t[0] % 76000 - 22000.0) / 7.0));
    EXPECT_EQ(c.camtime, 50 + t[1] % 260);
    EXPECT_EQ(c.xlookpos, f32((t[2] % 22000 - 12000.0) * 0.125));
    EXPECT_EQ(c.ycampos, 800.0f);
    EXPECT_EQ(c.zcampos, 0.0f);
    EXPECT_EQ(c.ylookpos, 0.0f);
    EXPECT_EQ(c.zlookpos, 0.0f);
    EXPECT_EQ(c.xcamoldpos, 0.0f);
    EXPECT_EQ(c.ycamoldpos, 800.0f);
    EXPECT_EQ(c.zcamoldpos, 0.0f);
    // Counter 0: the eye stands on the start waypoint, the look-at point on its own.
    EXPECT_EQ(c.camcounter, 0);
    EXPECT_EQ(c.lookcounter, 0);
    EXPECT_EQ(c.xcam, 0.0f);
    EXPECT_EQ(c.ycam, 800.0f);
    EXPECT_EQ(c.zcam, 0.0f);
    EXPECT_EQ(c.xlook, 0.0f);
    EXPECT_EQ(c.ylook, 0.0f);
    EXPECT_EQ(c.zlook, 0.0f);
    EXPECT_EQ(camcc1, 1);
    EXPECT_EQ(camcc2, 1);
    EXPECT_EQ(c.looktime, 141);
}

// Eye legs take turns on x, y, z and last camtime + 1 steps; look legs last 142 steps.
TEST_F(Camera, RoamingLegsTakeTurnsOnTheAxesAndKeepTheirDurations) {
    mycam &c = mycamz[0];
    int eyelegs = 0, looklegs = 0, eyeaxis = 0, lookaxis = 0;
    int eyesteps = 0, looksteps = 0, lasttime = 0;
    for (int step = 1; step <= 6000; step++) {
        mycam before = c;
        uint64_t draws = randomdraws;
        std::vector<int> t = peek(3);
        roamcam();
        eyesteps++, looksteps++;
        tapereader r{t};
        if (c.camcounter == 0) {
            if (eyelegs > 0) {
                ASSERT_EQ(eyesteps - 1, lasttime + 1) << "eye leg " << eyelegs;
            }
            // All three previous fields take the old waypoint, changed or not.
            ASSERT_EQ(c.xcamoldpos, before.xcampos);
            ASSERT_EQ(c.ycamoldpos, before.ycampos);
            ASSERT_EQ(c.zcamoldpos, before.zcampos);
            for (int a = 0; a < 3; a++)
                if (a != eyeaxis) {
                    ASSERT_EQ(eyecoord(c, a), eyecoord(before, a));
                }
            float want =
                eyeaxis == 1 ? f32(r.mod(16000) / 7.0 + 2.0) : f32((r.mod(76000) - 22000.0) / 7.0);
            ASSERT_EQ(eyecoord(c, eyeaxis), want) << "eye leg " << eyelegs;
            ASSERT_EQ(c.camtime, 50 + r.next() % 260);
            ASSERT_TRUE(c.camtime >= 50 && c.camtime <= 309);
            ASSERT_EQ(camcc1, (eyeaxis + 1) % 3);
            eyeaxis = (eyeaxis + 1) % 3;
            lasttime = c.camtime;
            eyesteps = 1, eyelegs++;
        } else {
            ASSERT_EQ(c.camcounter, before.camcounter + 1);
        }
        if (c.lookcounter == 0) {
            if (looklegs > 0) {
                ASSERT_EQ(looksteps - 1, 142) << "look leg " << looklegs;
            }
            ASSERT_EQ(c.xlookoldpos, before.xlookpos);
            ASSERT_EQ(c.ylookoldpos, before.ylookpos);
            ASSERT_EQ(c.zlookoldpos, before.zlookpos);
            for (int a = 0; a < 3; a++)
                if (a != lookaxis) {
                    ASSERT_EQ(lookcoord(c, a), lookcoord(before, a));
                }
            float want = lookaxis == 1 ? f32(r.mod(12000) / 7.0 + 5.0)
                                       : f32((r.mod(22000) - 12000.0) * 0.125);
            ASSERT_EQ(lookcoord(c, lookaxis), want) << "look leg " << looklegs;
            ASSERT_EQ(camcc2, (lookaxis + 1) % 3);
            lookaxis = (lookaxis + 1) % 3;
            looksteps = 1, looklegs++;
        }
        ASSERT_EQ(randomdraws - draws, r.at) << "step " << step;
        // The waypoint is reached in the leg's last step.
        if (c.camcounter == c.camtime) {
            ASSERT_NEAR(c.xcam, c.xcampos, 1e-3);
            ASSERT_NEAR(c.ycam, c.ycampos, 1e-3);
            ASSERT_NEAR(c.zcam, c.zcampos, 1e-3);
        }
        ASSERT_TRUE(c.xcampos >= -22000.0 / 7.0 - 1e-3 && c.xcampos <= 10767.0 / 7.0 + 1e-3);
        ASSERT_TRUE(c.zcampos >= -22000.0 / 7.0 - 1e-3 && c.zcampos <= 10767.0 / 7.0 + 1e-3);
        ASSERT_TRUE(c.xlookpos >= -1500.0f && c.xlookpos <= 1249.875f);
        ASSERT_TRUE(c.ylookpos >= 0.0f && c.ylookpos <= 1719.15f);
    }
    EXPECT_GT(eyelegs, 20);
    EXPECT_EQ(looklegs, 43); // steps 1, 143, 285, ... up to 6000
}

// The interpolation divides the difference by the duration before multiplying by the counter.
// These waypoints give a different float for any other order of operations.
TEST_F(Camera, InterpolationDividesByTheDurationBeforeMultiplying) {
    const float a = f32((15412 - 22000.0) / 7.0), b = f32((29822 - 22000.0) / 7.0);
    const float want = f32(a + ((b - (double)a) / 54) * 51);
    ASSERT_NE(want, f32(a + (b - (double)a) * 51 / 54));
    ASSERT_NE(want, f32(a + (b - (double)a) * (51.0 / 54)));

    mycam &c = mycamz[0];
    c.xcamoldpos = c.ycamoldpos = c.zcamoldpos = a;
    c.xcampos = c.ycampos = c.zcampos = b;
    c.camtime = 54, c.camcounter = 50;
    c.xlookoldpos = c.ylookoldpos = c.zlookoldpos = a;
    c.xlookpos = c.ylookpos = c.zlookpos = b;
    c.looktime = 54, c.lookcounter = 50;
    roamcam();
    EXPECT_EQ(randomdraws, 0u);
    for (float v : {c.xcam, c.ycam, c.zcam, c.xlook, c.ylook, c.zlook})
        EXPECT_EQ(v, want);

    mycam &r = mycamz[1];
    r.xlookoldpos = r.ylookoldpos = r.zlookoldpos = a;
    r.xlookpos = r.ylookpos = r.zlookpos = b;
    r.looktime = 54, r.lookcounter = 50;
    carcam();
    for (float v : {r.xlook, r.ylook, r.zlook})
        EXPECT_EQ(v, want);
}

TEST_F(Camera, CarCameraRidesTheFirstCarAndGlidesItsLookAtPoint) {
    carz[0].xpos = 123.5f, carz[0].ypos = 99.0f, carz[0].zpos = -456.25f;
    std::vector<int> t = peek(3);
    carcam();
    const mycam &c = mycamz[1];
    EXPECT_EQ(randomdraws, 3u);
    EXPECT_EQ(c.xcam, 123.5f);
    EXPECT_EQ(c.ycam, 27.0f); // whatever the car's own height
    EXPECT_EQ(c.zcam, -456.25f);
    EXPECT_EQ(c.xlookpos, f32((t[0] % 2000 - 1000.0) / 10.0 + 587.0));
    EXPECT_EQ(c.ylookpos, f32(t[1] % 2000 / 10.0 + 1.0));
    EXPECT_EQ(c.zlookpos, f32((t[2] % 2000 - 1000.0) / 10.0));
    EXPECT_EQ(c.lookcounter, 0);
    EXPECT_EQ(c.xlook, 0.0f);
    EXPECT_EQ(c.ylook, 0.0f);
    EXPECT_EQ(c.zlook, 0.0f);
    // The car camera touches neither axis cursor nor its own eye waypoints.
    EXPECT_EQ(camcc1, 0);
    EXPECT_EQ(camcc2, 0);
    EXPECT_EQ(c.camcounter, 0);
    EXPECT_EQ(c.xcampos, 0.0f);

    // Look legs of 102 steps, three draws each, in the order x, y, z.
    int legs = 1, steps = 0;
    for (int step = 2; step <= 1000; step++) {
        mycam before = c;
        uint64_t draws = randomdraws;
        std::vector<int> w = peek(3);
        carz[0].xpos += 1.0f;
        carcam();
        steps++;
        ASSERT_EQ(c.xcam, carz[0].xpos);
        if (c.lookcounter != 0) {
            ASSERT_EQ(randomdraws, draws);
            continue;
        }
        ASSERT_EQ(steps, 102) << "leg " << legs;
        ASSERT_EQ(randomdraws - draws, 3u);
        ASSERT_EQ(c.xlookoldpos, before.xlookpos);
        ASSERT_EQ(c.ylookoldpos, before.ylookpos);
        ASSERT_EQ(c.zlookoldpos, before.zlookpos);
        ASSERT_EQ(c.xlookpos, f32((w[0] % 2000 - 1000.0) / 10.0 + 587.0));
        ASSERT_EQ(c.ylookpos, f32(w[1] % 2000 / 10.0 + 1.0));
        ASSERT_EQ(c.zlookpos, f32((w[2] % 2000 - 1000.0) / 10.0));
        ASSERT_TRUE(c.xlookpos >= 487.0f && c.xlookpos <= 686.9f);
        ASSERT_TRUE(c.ylookpos >= 1.0f && c.ylookpos <= 200.9f);
        ASSERT_TRUE(c.zlookpos >= -100.0f && c.zlookpos <= 99.9f);
        steps = 0, legs++;
    }
    EXPECT_EQ(legs, 10); // steps 1, 103, ..., 919
}

TEST_F(Camera, InactiveCameraIsFrozenAndResumesWhereItStopped) {
    fxcounter = 0; // no programme draw for the whole test
    for (int k = 0; k < 30; k++)
        director(); // roaming, partway through its legs
    mycam roam = mycamz[0];
    int cc1 = camcc1, cc2 = camcc2;

    whichcam = 1;
    uint64_t draws = randomdraws;
    for (int k = 0; k < 300; k++)
        director();
    EXPECT_TRUE(samebytes(mycamz[0], roam));
    EXPECT_EQ(camcc1, cc1);
    EXPECT_EQ(camcc2, cc2);
    EXPECT_EQ(randomdraws - draws, 9u); // only the car camera's look legs: steps 1, 103, 205

    mycam ridden = mycamz[1];
    whichcam = 0;
    director();
    EXPECT_TRUE(samebytes(mycamz[1], ridden));
    EXPECT_EQ(mycamz[0].lookcounter, roam.lookcounter + 1);
    EXPECT_TRUE(mycamz[0].camcounter == roam.camcounter + 1 || mycamz[0].camcounter == 0);
}

// The director runs before the traffic, so the eye shows where the previous step left the car.
TEST_F(Camera, CarCameraShowsTheFirstCarBeforeThisStepMovesIt) {
    fxcounter = 0;
    whichcam = 1;
    carz[0].speed = 16.2f, carz[0].xpos = 400.0f, carz[0].zpos = 800.0f;
    calcme();
    EXPECT_EQ(mycamz[1].xcam, 400.0f);
    EXPECT_EQ(mycamz[1].zcam, 800.0f);
    EXPECT_EQ(carz[0].zpos, f32(800.0 - (double)16.2f));
    calcme();
    EXPECT_EQ(mycamz[1].zcam, f32(800.0 - (double)16.2f));
}
