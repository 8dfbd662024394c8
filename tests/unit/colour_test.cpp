// colour_test.cpp -- the colour cycler: passes and their draws, the sweep and its end
// SPDX-License-Identifier: MIT
#include "anim/anim.h"
#include "helpers.h"

#include <gtest/gtest.h>

namespace {

// What the cycler handed to the clear-colour hook, and when.
struct clearcall {
    GLfloat r, g, b, a;
    int colstepz, ccg2;
};
std::vector<clearcall> clears;

void recordclear(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    clears.push_back({r, g, b, a, colstepz, ccg2});
}

class Colour : public ::testing::Test {
  protected:
    void SetUp() override {
        resetscene();
        seedrandom(8086);
        clears.clear();
        saved = clearcolour;
        clearcolour = recordclear;
        ccr1 = 12, ccr2 = 3, ccg1 = 7, ccg2 = 9, ccb1 = 30, ccb2 = 4;
    }
    void TearDown() override { clearcolour = saved; }
    void (*saved)(GLfloat, GLfloat, GLfloat, GLfloat) = nullptr;
};

// Replays one pass from the tape with the given seeds; returns the colour it should write.
Vertex3 replaypass(tapereader &r, int cr, int cg, int cb, int &greys) {
    int e = r.next() % 3;
    double d = r.next() % 6 + 1;
    if (e == 2) {
        greys++;
        float grey = f32((r.next() % 50 + 1) / 100.0);
        return {grey, grey, grey};
    }
    // Floating-point division: 12 / 5 is 2.4, not 2.
    return {f32((cr / d + 1) / 100.0), f32((cg / d + 1) / 100.0), f32((cb / d + 1) / 100.0)};
}

void expectbuilding(int k, const Vertex3 &c) {
    for (int n = 0; n < 8; n++) {
        const Vertex3 &v = city_colors[8 * k + n];
        ASSERT_TRUE(v.x == c.x && v.y == c.y && v.z == c.z) << "building " << k << " entry " << n;
    }
}

} // namespace

TEST_F(Colour, EachPassRecoloursTheNextBuildingFromTwoOrThreeDraws) {
    colstepz = 100;
    std::vector<int> t = peek(3000);
    tapereader r{t};
    int greys = 0;
    for (int call = 0; call < 20; call++) {
        changecolc();
        for (int k = 100 + 10 * call; k < 110 + 10 * call; k++) {
            size_t at = r.at;
            Vertex3 want = replaypass(r, ccr1, ccg1, ccb1, greys);
            ASSERT_TRUE(r.at - at == 2 || r.at - at == 3);
            expectbuilding(k, want);
        }
        ASSERT_EQ(randomdraws, r.at) << "call " << call;
    }
    EXPECT_EQ(colstepz, 300);
    EXPECT_GT(greys, 20); // both kinds of pass were seen
    EXPECT_LT(greys, 180);
    EXPECT_TRUE(clears.empty());
    expectbuilding(99, {0, 0, 0});
    expectbuilding(300, {0, 0, 0});
}

// The sweep ends after building lastswept; the same call goes on from building 0 with new seeds.
TEST_F(Colour, SweepEndInTheMiddleOfACallReseedsForTheRemainingPasses) {
    for (uint32_t seed = 1; seed <= 8; seed++) {
        SCOPED_TRACE(seed);
        seedrandom(seed);
        clears.clear();
        ccr1 = 12, ccr2 = 3, ccg1 = 7, ccg2 = 9, ccb1 = 30, ccb2 = 4;
        colstepz = lastswept - 3;
        std::vector<int> t = peek(100);
        tapereader r{t};
        changecolc();

        int greys = 0;
        for (int k = lastswept - 3; k <= lastswept; k++)
            expectbuilding(k, replaypass(r, 12, 7, 30, greys));
        int nr1 = r.next() % 30 + 1, nr2 = r.next() % 30 + 1, ng1 = r.next() % 30 + 1,
            ng2 = r.next() % 60 + 1;
        EXPECT_EQ(ccr1, nr1);
        EXPECT_EQ(ccr2, nr2);
        EXPECT_EQ(ccg1, ng1);
        EXPECT_EQ(ccg2, ng2);
        EXPECT_EQ(ccb1, 30); // never redrawn
        EXPECT_EQ(ccb2, 4);
        for (int k = 0; k <= 5; k++)
            expectbuilding(k, replaypass(r, nr1, ng1, 30, greys));
        EXPECT_EQ(colstepz, 6);
        EXPECT_EQ(randomdraws, r.at); // the sweep end adds its four draws

        ASSERT_EQ(clears.size(), 1u);
        float c = f32(ng2 / 100.0);
        EXPECT_EQ(clears[0].r, c);
        EXPECT_EQ(clears[0].g, c);
        EXPECT_EQ(clears[0].b, c);
        EXPECT_EQ(clears[0].a, 0.0f);
        EXPECT_EQ(clears[0].colstepz, 0);
        EXPECT_EQ(clears[0].ccg2, ng2);
    }
}

TEST_F(Colour, SweepCoversEveryBuildingButTheLast) {
    for (int k = 0; k < ncityverts; k++)
        city_colors[k] = {-1.0f, -1.0f, -1.0f};
    // A sweep is a pass short of whole calls: its end falls in its last call, a pass before
    // that call's last.
    const int swept = lastswept + 1, calls = swept / colourpasses + 1;
    static_assert(swept % colourpasses == colourpasses - 1);
    for (int call = 1; call <= calls; call++) {
        changecolc();
        ASSERT_EQ(clears.size(), call < calls ? 0u : 1u) << "call " << call;
    }
    EXPECT_EQ(colstepz, 1);
    for (int k = 0; k < swept; k++)
        ASSERT_NE(city_colors[8 * k + 7].x, -1.0f) << "building " << k;
    expectbuilding(nbuildings - 1, {-1.0f, -1.0f, -1.0f});

    for (int call = calls + 1; call <= 2 * calls; call++)
        changecolc();
    EXPECT_EQ(clears.size(), 2u);
    EXPECT_EQ(colstepz, 2); // each sweep end one pass earlier within its call
    expectbuilding(nbuildings - 1, {-1.0f, -1.0f, -1.0f});
    EXPECT_EQ(ccb1, 30);
    for (int s : {ccr1, ccr2, ccg1})
        EXPECT_TRUE(s >= 1 && s <= 30);
    EXPECT_TRUE(ccg2 >= 1 && ccg2 <= 60);
    for (const clearcall &k : clears)
        EXPECT_TRUE(k.r >= 0.01f && k.r <= 0.6f && k.r == k.g && k.g == k.b && k.a == 0.0f);
}

TEST_F(Colour, ColoursStayWithinTheirRanges) {
    for (int call = 0; call < 300; call++)
        changecolc();
    for (int k = 0; k < 3000; k++) {
        const Vertex3 &v = city_colors[8 * k];
        if (v.x == v.y && v.y == v.z) { // a grey pass: the seeds 12, 7, 30 never tint grey
            ASSERT_TRUE(v.x >= 0.01f && v.x <= 0.5f) << k;
        } else {
            for (float ch : {v.x, v.y, v.z})
                ASSERT_TRUE(ch >= f32((1 / 6.0 + 1) / 100.0) && ch <= 0.31f) << k;
        }
    }
}

TEST_F(Colour, WorksWithNoClearColourHook) {
    clearcolour = nullptr;
    colstepz = lastswept;
    changecolc();
    EXPECT_EQ(colstepz, 9);
}
