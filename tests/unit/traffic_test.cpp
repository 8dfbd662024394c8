// traffic_test.cpp -- cars: moving, wrapping, block ends, the turn-table walk, turns, vertices
// SPDX-License-Identifier: MIT
#include "anim/anim.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Traffic : public ::testing::Test {
  protected:
    void SetUp() override {
        resetscene();
        seedrandom(4711);
    }

    // A hand-made car of extents 4 x 4.
    car &setcar(int i, int state, float x, float z, float speed, float blockm) {
        car &c = carz[i];
        c = {};
        c.xpos = x, c.zpos = z, c.speed = speed, c.blockm = blockm, c.state = state;
        c.wpos = 4.0f, c.hpos = 5.0f, c.dpos = 4.0f;
        return c;
    }

    // The moving coordinate of a heading.
    static float moving(const car &c, int s) { return s == 0 || s == 2 ? c.zpos : c.xpos; }
    static float still(const car &c, int s) { return s == 0 || s == 2 ? c.xpos : c.zpos; }

    static void step(int i) { movecar(i); }
};

// Direction of travel of each heading along its moving coordinate.
const int sign[4] = {-1, -1, +1, +1};

} // namespace

TEST_F(Traffic, EachHeadingMovesOnlyItsCoordinateBySpeed) {
    for (int s = 0; s < 4; s++) {
        car &c = setcar(0, s, 100.0f, 200.0f, 7.5f, 0.0f);
        float from = moving(c, s), other = still(c, s);
        step(0);
        EXPECT_EQ(moving(c, s), from + sign[s] * 7.5f) << "heading " << s;
        EXPECT_EQ(still(c, s), other) << "heading " << s;
        EXPECT_EQ(c.blockm, 7.5f);
        EXPECT_EQ(c.state, s);
        EXPECT_EQ(c.ypos, 0.0f);
    }
    EXPECT_EQ(randomdraws, 0u);
}

TEST_F(Traffic, ValueExactlyOnTheBoundDoesNotWrap) {
    for (int s = 0; s < 4; s++) {
        car &c = setcar(0, s, sign[s] * 5990.0f, sign[s] * 5990.0f, 10.0f, 50.0f);
        step(0);
        EXPECT_EQ(moving(c, s), sign[s] * 6000.0f) << "heading " << s;
        EXPECT_EQ(c.blockm, 60.0f) << "heading " << s;
    }
}

// A crossing lands exactly on the opposite bound, and the count restarts from the wrap step's
// own speed, so the car cannot turn in that step.
TEST_F(Traffic, CrossingTheBoundLandsOnTheOppositeBoundWithoutTurning) {
    for (int s = 0; s < 4; s++) {
        car &c = setcar(0, s, sign[s] * 5995.0f, sign[s] * 5995.0f, 10.0f, 399.0f);
        float other = still(c, s);
        step(0);
        EXPECT_EQ(moving(c, s), -sign[s] * 6000.0f) << "heading " << s;
        EXPECT_EQ(still(c, s), other) << "heading " << s;
        EXPECT_EQ(c.blockm, 10.0f) << "heading " << s;
        EXPECT_EQ(c.state, s);
        EXPECT_EQ(rpos, 1); // no turn-table read
    }
}

// The difference lies beyond the bound but rounds onto it: the test sees the exact value.
TEST_F(Traffic, BoundTestUsesTheUnroundedSum) {
    const float speed = 10.0001f;
    ASSERT_EQ(f32(-5990.0 - (double)speed), -6000.0f);
    for (int s = 0; s < 4; s++) {
        car &c = setcar(0, s, sign[s] * 5990.0f, sign[s] * 5990.0f, speed, 0.0f);
        step(0);
        EXPECT_EQ(moving(c, s), -sign[s] * 6000.0f) << "heading " << s;
        EXPECT_EQ(c.blockm, speed);
    }
}

TEST_F(Traffic, CountReachingExactlyTheBlockLengthEndsTheBlockOneStepLater) {
    car &c = setcar(0, 0, 0.0f, 100.0f, 10.0f, 390.0f);
    step(0);
    EXPECT_EQ(c.blockm, 400.0f);
    EXPECT_EQ(c.zpos, 90.0f);
    EXPECT_EQ(rpos, 1);
    EXPECT_EQ(c.offzet, 0.0f);
    step(0);
    // Overshoot of one whole speed: pulled back onto the point where the count hit 400.
    EXPECT_EQ(c.blockm, 0.0f);
    EXPECT_EQ(c.zpos, 90.0f);
    EXPECT_EQ(rpos, 2);
    EXPECT_EQ(c.offzet, 10.0f); // straight on (radoz is zero): ccmove - speed
}

TEST_F(Traffic, BlockEndTestUsesTheUnroundedCount) {
    const float speed = 10.00001f;
    ASSERT_EQ(f32(390.0 + (double)speed), 400.0f); // would look like no block end once stored
    car &c = setcar(0, 0, 0.0f, 100.0f, speed, 390.0f);
    step(0);
    EXPECT_EQ(c.blockm, 0.0f);
    EXPECT_EQ(rpos, 2);
    // Pulled back by the tiny exact overshoot: onto 90 within rounding.
    double e = 390.0 + (double)speed - 400.0;
    EXPECT_EQ(c.zpos, f32((double)f32(100.0 - (double)speed) + e));
}

TEST_F(Traffic, BlockEndPullsTheCarBackByTheOvershoot) {
    const float want[4][2] = {{1000, 1997}, {997, 2000}, {1000, 2003}, {1003, 2000}};
    for (int s = 0; s < 4; s++) {
        resetscene();
        radoz[2] = s == 0 || s == 3 ? 2 : 1; // a turn from heading 0, straight on from the rest
        car &c = setcar(0, s, 1000.0f, 2000.0f, 7.0f, 397.0f);
        step(0);
        EXPECT_EQ(c.xpos, want[s][0]) << "heading " << s;
        EXPECT_EQ(c.zpos, want[s][1]) << "heading " << s;
        EXPECT_EQ(c.blockm, 0.0f) << "heading " << s;
    }
}

TEST_F(Traffic, AfterAWrapTheNextBlockEndsSpeedOffTheGridLine) {
    car &c = setcar(0, 0, 0.0f, -5995.0f, 10.0f, 0.0f); // radoz all zero: straight on
    step(0);
    ASSERT_EQ(c.zpos, 6000.0f);
    int steps = 0;
    do {
        step(0);
        steps++;
    } while (c.blockm != 0.0f && steps < 100);
    EXPECT_EQ(steps, 40);
    EXPECT_EQ(c.zpos, 5610.0f); // 5600 + speed
}

TEST_F(Traffic, TurnTableWalkStartsAtEntryTwoAndStridesWithoutDrawing) {
    for (int k = 0; k < nturns; k++)
        radoz[k] = (k * 7 + k / 3) % 3;
    EXPECT_EQ(Randooz(), radoz[2]);
    EXPECT_EQ(rpos, 2);
    rstep = 4;
    EXPECT_EQ(Randooz(), radoz[6]);
    rpos = 5995; // lands exactly on the last entry: no restart
    EXPECT_EQ(Randooz(), radoz[5999]);
    EXPECT_EQ(rpos, 5999);
    EXPECT_EQ(randomdraws, 0u);
}

TEST_F(Traffic, WalkPastTheEndRedrawsStrideThenPosition) {
    for (int k = 0; k < nturns; k++)
        radoz[k] = k % 3;
    for (int trial = 0; trial < 50; trial++) {
        rpos = 5999 - trial % 3, rstep = 3;
        std::vector<int> t = peek(2);
        uint64_t before = randomdraws;
        int got = Randooz();
        ASSERT_EQ(randomdraws - before, 2u);
        ASSERT_EQ(rstep, t[0] % 5 + 1);
        ASSERT_EQ(rpos, t[1] % 5);
        ASSERT_EQ(got, radoz[rpos]);
    }
}

// New heading and offset for every old heading and outcome, with the one odd entry: from -x
// onto +z the offset is -ccmove - speed.
TEST_F(Traffic, EveryTransitionSetsItsHeadingAndLaneOffset) {
    const float sp = 7.25f;
    const float ahead = 20.0f - sp, back = sp - 20.0f, odd = -20.0f - sp;
    const struct {
        int state;
        float offzet;
    } table[4][3] = {{{0, ahead}, {1, back}, {3, ahead}},
                     {{0, ahead}, {1, back}, {2, odd}},
                     {{1, back}, {2, back}, {3, ahead}},
                     {{0, ahead}, {2, back}, {3, ahead}}};
    for (int s = 0; s < 4; s++)
        for (int ch = 0; ch < 3; ch++) {
            resetscene();
            radoz[2] = ch;
            car &c = setcar(0, s, 0.0f, 0.0f, sp, 399.0f);
            step(0);
            EXPECT_EQ(c.state, table[s][ch].state) << "heading " << s << " outcome " << ch;
            EXPECT_EQ(c.offzet, table[s][ch].offzet) << "heading " << s << " outcome " << ch;
            EXPECT_NE(c.state, (s + 2) % 4) << "no entry reverses a car";
        }
}

// Turns take outcomes from the one walk in car order within a step.
TEST_F(Traffic, BlockEndsReadTheWalkInCarOrder) {
    radoz[2] = 1, radoz[3] = 2;
    setcar(3, 0, 0.0f, 0.0f, 5.0f, 398.0f);
    setcar(10, 0, 0.0f, 0.0f, 5.0f, 398.0f);
    traffic();
    EXPECT_EQ(carz[3].state, 1);
    EXPECT_EQ(carz[10].state, 3);
    EXPECT_EQ(rpos, 3);
}

TEST_F(Traffic, VerticesCarryTheLaneOffsetAcrossTheHeading) {
    for (int s = 0; s < 4; s++) {
        car &c = setcar(5, s, 100.0f, -50.0f, 1.0f, 0.0f);
        c.dpos = 6.0f, c.offzet = 3.5f;
        Vertex3 *v = &car_verts[40];
        for (int n = 0; n < 8; n++)
            v[n].y = 1000.0f + n; // y is never rewritten
        car_verts[39] = {-1, -1, -1}, car_verts[48] = {-2, -2, -2};
        placecar(5);
        bool across_x = s == 0 || s == 2;
        float x0 = across_x ? 103.5f : 100.0f, x1 = across_x ? 107.5f : 104.0f;
        float z0 = across_x ? -50.0f : -46.5f, z1 = across_x ? -44.0f : -40.5f;
        const float wantx[8] = {x0, x1, x1, x0, x0, x1, x1, x0};
        for (int n = 0; n < 8; n++) {
            EXPECT_EQ(v[n].x, wantx[n]) << "heading " << s << " vertex " << n;
            EXPECT_EQ(v[n].z, n < 4 ? z0 : z1) << "heading " << s << " vertex " << n;
            EXPECT_EQ(v[n].y, 1000.0f + n);
        }
        EXPECT_EQ(car_verts[39].x, -1.0f); // neighbours untouched
        EXPECT_EQ(car_verts[48].z, -2.0f);
    }
}

TEST_F(Traffic, TurnFromMinusXOntoPlusZDrawsTheBoxFurtherOut) {
    radoz[2] = 2;
    car &c = setcar(0, 1, 800.0f, 400.0f, 5.0f, 399.0f);
    traffic();
    ASSERT_EQ(c.state, 2);
    EXPECT_EQ(car_verts[0].x, c.xpos - (20.0f + 5.0f));
    // Any other way onto +z: moved ccmove - speed toward -x.
    resetscene();
    radoz[2] = 1;
    car &d = setcar(0, 2, 800.0f, 400.0f, 5.0f, 399.0f);
    traffic();
    ASSERT_EQ(d.state, 2);
    EXPECT_EQ(car_verts[0].x, d.xpos - (20.0f - 5.0f));
}

TEST_F(Traffic, EveryCarIsRedrawnEveryStepAndNothingElseOfTheMeshChanges) {
    for (int i = 0; i < ncars; i++)
        setcar(i, i % 4, (float)(i % 50), (float)(i % 70), 1.0f + (i % 10), 0.0f);
    for (int k = 0; k < ncarverts; k++) {
        car_verts[k] = {12345.0f, (float)k, -12345.0f};
        car_colors[k] = {0.5f, 0.25f, (float)k};
    }
    for (int k = 0; k < ncarindexes; k++)
        car_indexes[k] = (GLuint)(k * 3);
    traffic();
    for (int i = 0; i < ncars; i++) {
        const car &c = carz[i];
        const Vertex3 &v = car_verts[8 * i + 6]; // the high corner
        bool across_x = c.state == 0 || c.state == 2;
        ASSERT_EQ(v.x, across_x ? c.xpos + c.wpos + c.offzet : c.xpos + c.wpos) << "car " << i;
        ASSERT_EQ(v.z, across_x ? c.zpos + c.dpos : c.zpos + c.dpos + c.offzet) << "car " << i;
    }
    for (int k = 0; k < ncarverts; k++) {
        ASSERT_EQ(car_verts[k].y, (float)k);
        ASSERT_TRUE(car_colors[k].x == 0.5f && car_colors[k].z == (float)k);
    }
    for (int k = 0; k < ncarindexes; k++)
        ASSERT_EQ(car_indexes[k], (GLuint)(k * 3));
}

// From the origin a car turns only on grid points (multiples of the block length, up to
// rounding) until it wraps.
TEST_F(Traffic, CarsTurnOnGridPointsUntilTheyWrap) {
    for (int k = 0; k < nturns; k++)
        radoz[k] = drawrandom() % 3;
    car &c = setcar(0, 0, 0.0f, 0.0f, 3.7f, 0.0f);
    int ends = 0;
    for (int n = 0; n < 20000; n++) {
        float x = c.xpos, z = c.zpos;
        step(0);
        if (std::fabs(c.xpos - x) > 1000 || std::fabs(c.zpos - z) > 1000) break; // a wrap
        if (c.blockm != 0.0f) continue;
        ends++;
        ASSERT_NEAR(c.xpos, 400.0 * std::round(c.xpos / 400.0), 0.5) << "step " << n;
        ASSERT_NEAR(c.zpos, 400.0 * std::round(c.zpos / 400.0), 0.5) << "step " << n;
    }
    EXPECT_GT(ends, 10);
}
