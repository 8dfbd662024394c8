// world_test.cpp -- world generation: draw count and order, ranges, exact values, distributions
// SPDX-License-Identifier: MIT
#include "helpers.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// Draw positions of each table's first record in one generation.
constexpr int turnsat = 0, seedsat = 6000, cloudsat = 6006, tilesat = 12006, towersat = 15606,
              beamsat = 69606, carsat = 129606;

// The added decimal constants are floats widened to double.
const double k04 = (double)0.4f, k01 = (double)0.1f, k12 = (double)1.2f, k02 = (double)0.2f;

class World : public ::testing::Test {
  protected:
    void SetUp() override { resetscene(); }
};

// Offset of a building coordinate from the centre of the block it lies in.
double offcentre(float v) {
    double k = std::floor(((double)v + 8000.0) / 400.0);
    return (double)v - ((k - 20.0) * 400.0 + 200.0);
}

} // namespace

TEST_F(World, GenerationMakesExactly147606DrawsWhateverTheSeed) {
    EXPECT_EQ(worlddraws, 147606);
    for (uint32_t seed : {0u, 1u, 2u, 12345u, 1700000000u, 0xffffffffu}) {
        resetscene();
        buildworld(seed); // mesh building draws nothing, so the count is generation's alone
        EXPECT_EQ(randomdraws, 147606u) << "seed " << seed;
    }
}

TEST_F(World, GenerationContinuesTheSequenceWhereItStands) {
    seedrandom(99);
    for (int k = 0; k < 37; k++)
        drawrandom();
    std::vector<int> t = peek(147606 + 1);
    genworld();
    EXPECT_EQ(randomdraws, 37u + 147606u);
    EXPECT_EQ(radoz[0], t[0] % 3);
    EXPECT_EQ(drawrandom(), t[147606]); // the next draw follows the car table's last
}

TEST_F(World, SameSeedBuildsTheSameWorldAndAnotherSeedADifferentOne) {
    buildworld(4242);
    std::vector<city> c1(cityz, cityz + nbuildings);
    std::vector<car> a1(carz, carz + ncars);
    std::vector<Vertex3> v1(city_verts, city_verts + ncityverts);
    std::vector<int> r1(radoz, radoz + nturns);
    resetscene();
    buildworld(4242);
    EXPECT_EQ(std::memcmp(c1.data(), cityz, sizeof cityz), 0);
    EXPECT_EQ(std::memcmp(a1.data(), carz, sizeof carz), 0);
    EXPECT_EQ(std::memcmp(v1.data(), city_verts, sizeof city_verts), 0);
    EXPECT_EQ(std::memcmp(r1.data(), radoz, sizeof radoz), 0);
    resetscene();
    buildworld(4243);
    EXPECT_NE(std::memcmp(c1.data(), cityz, sizeof cityz), 0);
    EXPECT_NE(std::memcmp(r1.data(), radoz, sizeof radoz), 0);
}

// Every record recomputed from the raw draws, in the order and with the rounding of the
// generation tables: remainder, then double arithmetic in the written order, one rounding.
TEST_F(World, EveryRecordFollowsItsDrawsInTableOrder) {
    const uint32_t seed = 777;
    seedrandom(seed);
    std::vector<int> t = peek(worlddraws);
    genworld();

    for (int i = 0; i < nturns; i++)
        ASSERT_EQ(radoz[i], t[turnsat + i] % 3) << "radoz " << i;

    const int *s = &t[seedsat];
    EXPECT_EQ(ccr1, s[0] % 30 + 1);
    EXPECT_EQ(ccr2, s[1] % 30 + 1);
    EXPECT_EQ(ccg1, s[2] % 30 + 1);
    EXPECT_EQ(ccg2, s[3] % 30 + 1);
    EXPECT_EQ(ccb1, s[4] % 30 + 1);
    EXPECT_EQ(ccb2, s[5] % 30 + 1);

    for (int i = 0; i < nclouds; i++) {
        const int *d = &t[cloudsat + 6 * i];
        const cloud &c = cloudz[i];
        ASSERT_EQ(c.xpos, f32((d[0] % 6000 - 3000.0) * 2.0)) << "cloud " << i;
        ASSERT_EQ(c.ypos, f32(d[1] % 14000 / 60.0 * 10.0 + 30.0)) << "cloud " << i;
        ASSERT_EQ(c.zpos, f32((d[2] % 8000 - 4000.0) * 2.0)) << "cloud " << i;
        ASSERT_EQ(c.speed, f32(d[3] % 600 * 0.015625 + k04)) << "cloud " << i;
        ASSERT_EQ(c.wpos, f32(d[4] % 2600 / 3.0 + 152.5)) << "cloud " << i;
        ASSERT_EQ(c.hpos, f32(d[5] % 2600 / 3.0 + 152.5)) << "cloud " << i;
    }

    for (int i = 0; i < ntiles; i++) {
        const int *d = &t[tilesat + 6 * i];
        const flooro &f = floorz[i];
        float grey = f32(d[5] % 25 / 100.0);
        ASSERT_EQ(f.xpos, f32((d[0] % 8000 - 4000.0) * 2.0)) << "tile " << i;
        ASSERT_EQ(f.ypos, 0.0f) << "tile " << i;
        ASSERT_EQ(f.zpos, f32((d[1] % 10000 - 5000.0) * 3.0)) << "tile " << i;
        ASSERT_EQ(f.speed, f32(d[2] % 100 / 100.0 + k01)) << "tile " << i;
        ASSERT_EQ(f.wpos, f32(d[3] % 3600 * 0.5 + 25.5)) << "tile " << i;
        ASSERT_EQ(f.hpos, f32(d[4] % 3600 * 0.5 + 25.5)) << "tile " << i;
        ASSERT_TRUE(f.r == grey && f.g == grey && f.b == grey) << "tile " << i;
    }

    auto position = [](const int *d) {
        return f32((d[0] % 40 - 20.0) * 400.0 + (d[1] % 220 - 120.0) + 400.0 * 0.5);
    };
    for (int i = 0; i < ntowers; i++) {
        const int *d = &t[towersat + 9 * i];
        const city &c = cityz[i];
        ASSERT_EQ(c.xpos, position(d)) << "tower " << i;
        ASSERT_EQ(c.ypos, 0.0f) << "tower " << i;
        ASSERT_EQ(c.zpos, position(d + 2)) << "tower " << i;
        ASSERT_EQ(c.speed, 20.0f) << "tower " << i;
        ASSERT_EQ(c.wpos, f32(d[4] % 200 / 10.0 + 2.5)) << "tower " << i;
        ASSERT_EQ(c.hpos, f32(d[5] % 19400 / 10.0 + 2.5)) << "tower " << i;
        ASSERT_EQ(c.dpos, f32(d[6] % 200 / 10.0 + 2.5)) << "tower " << i;
        float shade = f32(d[8] % 15 / 100.0);
        bool red = d[7] % 2 == 1;
        ASSERT_EQ(c.r, shade) << "tower " << i;
        ASSERT_EQ(c.g, red ? 0.02f : shade) << "tower " << i;
        ASSERT_EQ(c.b, red ? 0.02f : shade) << "tower " << i;
    }

    for (int i = ntowers; i < nbuildings; i++) {
        const int *d = &t[beamsat + 10 * (i - ntowers)];
        const city &c = cityz[i];
        ASSERT_EQ(c.xpos, position(d)) << "beam " << i;
        ASSERT_EQ(c.ypos, f32(d[2] % 18000 / 200.0 * 10.0 + 30.0)) << "beam " << i;
        ASSERT_EQ(c.zpos, position(d + 3)) << "beam " << i;
        ASSERT_EQ(c.speed, 24.0f) << "beam " << i;
        bool alongz = d[5] % 2 == 1;
        float w = alongz ? f32(d[6] % 200 / 10.0 + 0.5) : f32(d[6] % 19800 / 10.0 + 20.5);
        float h = f32(d[7] % 200 / 10.0 + 0.5);
        float dp = alongz ? f32(d[8] % 19200 / 10.0 + 20.5) : f32(d[8] % 200 / 10.0 + 0.5);
        float grey = f32(d[9] % (alongz ? 15 : 25) / 100.0);
        ASSERT_EQ(c.wpos, w) << "beam " << i;
        ASSERT_EQ(c.hpos, h) << "beam " << i;
        ASSERT_EQ(c.dpos, dp) << "beam " << i;
        ASSERT_TRUE(c.r == grey && c.g == grey && c.b == grey) << "beam " << i;
    }

    for (int i = 0; i < ncars; i++) {
        const int *d = &t[carsat + 3 * i];
        const car &c = carz[i];
        ASSERT_TRUE(c.xpos == 0 && c.ypos == 0 && c.zpos == 0) << "car " << i;
        ASSERT_TRUE(c.wpos == 4.0f && c.dpos == 4.0f) << "car " << i;
        ASSERT_TRUE(c.offzet == 0 && c.blockm == 0 && c.state == 0) << "car " << i;
        ASSERT_EQ(c.hpos, f32(d[1] % 1600 / 120.0 + 4.5)) << "car " << i;
        if (i == 0) continue; // its speed and colour are replaced, below
        float grey = f32(d[2] % 80 / 100.0 + k02);
        ASSERT_EQ(c.speed, f32(d[0] % 4000 / 400.0 + k12)) << "car " << i;
        ASSERT_TRUE(c.r == grey && c.g == grey && c.b == grey) << "car " << i;
    }
}

// The recomputation above only proves the float-widened constants if, for this seed, some
// stored values differ from what the double constants would give.
TEST_F(World, WidenedFloatConstantsChangeSomeStoredValues) {
    seedrandom(777);
    std::vector<int> t = peek(worlddraws);
    int tiles = 0, cars = 0, greys = 0;
    for (int i = 0; i < ntiles; i++) {
        double r = t[tilesat + 6 * i + 2] % 100;
        tiles += f32(r / 100.0 + k01) != f32(r / 100.0 + 0.1);
    }
    for (int i = 1; i < ncars; i++) {
        double r = t[carsat + 3 * i] % 4000;
        cars += f32(r / 400.0 + k12) != f32(r / 400.0 + 1.2);
        double g = t[carsat + 3 * i + 2] % 80;
        greys += f32(g / 100.0 + k02) != f32(g / 100.0 + 0.2);
    }
    EXPECT_GT(tiles + cars + greys, 0);
}

TEST_F(World, BuildingsStandOnWholeNumbersNearTheirBlockCentres) {
    for (uint32_t seed : {3u, 1234567u}) {
        resetscene();
        buildworld(seed);
        double lowest = 1e9, highest = -1e9, lowoff = 1e9, highoff = -1e9;
        for (int i = 0; i < nbuildings; i++)
            for (float v : {cityz[i].xpos, cityz[i].zpos}) {
                ASSERT_EQ(v, std::floor(v)) << "building " << i;
                lowest = std::min(lowest, (double)v), highest = std::max(highest, (double)v);
                double off = offcentre(v);
                lowoff = std::min(lowoff, off), highoff = std::max(highoff, off);
            }
        EXPECT_GE(lowest, -7920.0);
        EXPECT_LE(highest, 7899.0);
        EXPECT_GE(lowoff, -120.0);
        EXPECT_LE(highoff, 99.0);
        // 24000 coordinates reach the ends of the offset range.
        EXPECT_EQ(lowoff, -120.0);
        EXPECT_EQ(highoff, 99.0);
    }
}

TEST_F(World, TowersKeepAtLeast78Point6FromEveryGridLine) {
    buildworld(31337);
    double nearest = 1e9;
    for (int i = 0; i < ntowers; i++) {
        const city &c = cityz[i];
        const double lo[2] = {c.xpos, c.zpos}, ext[2] = {c.wpos, c.dpos};
        for (int a = 0; a < 2; a++) {
            double line = std::floor(lo[a] / 400.0) * 400.0; // grid line below the tower
            nearest = std::min(nearest, lo[a] - line);
            nearest = std::min(nearest, line + 400.0 - (lo[a] + ext[a]));
        }
    }
    EXPECT_GE(nearest, 78.6 - 1e-4);
}

TEST_F(World, TowersStandOnTheGroundAndBeamsFloatAboveTheTallestCar) {
    buildworld(5);
    float tallestcar = 0;
    for (int i = 0; i < ncars; i++)
        tallestcar = std::max(tallestcar, carz[i].hpos);
    EXPECT_LE(tallestcar, 17.825f);
    for (int i = 0; i < ntowers; i++) {
        ASSERT_EQ(cityz[i].ypos, 0.0f) << i;
        ASSERT_EQ(cityz[i].speed, 20.0f) << i;
        ASSERT_GE(cityz[i].hpos, 2.5f) << i;
        ASSERT_LE(cityz[i].hpos, 1942.4f) << i;
    }
    for (int i = ntowers; i < nbuildings; i++) {
        ASSERT_GE(cityz[i].ypos, 30.0f) << i;
        ASSERT_LE(cityz[i].ypos, 929.95f) << i;
        ASSERT_GT(cityz[i].ypos, tallestcar) << i;
        ASSERT_EQ(cityz[i].speed, 24.0f) << i;
    }
}

TEST_F(World, RedTowersHaveExactly002GreenAndBlueAndOtherRecordsAreGrey) {
    buildworld(8);
    int red = 0, grey = 0;
    for (int i = 0; i < ntowers; i++) {
        const city &c = cityz[i];
        // r is one of 0.00, 0.01, ..., 0.14 in every tower.
        int hundredths = (int)std::lround(c.r * 100.0);
        ASSERT_EQ(c.r, f32(hundredths / 100.0)) << i;
        ASSERT_TRUE(hundredths >= 0 && hundredths <= 14) << i;
        if (c.g == c.r && c.b == c.r) { // a red tower of shade 0.02 looks grey too
            grey++;
        } else {
            ASSERT_EQ(c.g, 0.02f) << i;
            ASSERT_EQ(c.b, 0.02f) << i;
            red++;
        }
    }
    EXPECT_GT(red, 2500);
    EXPECT_GT(grey, 2500);
    for (int i = ntowers; i < nbuildings; i++)
        ASSERT_TRUE(cityz[i].r == cityz[i].g && cityz[i].g == cityz[i].b) << i;
    for (int i = 0; i < ntiles; i++)
        ASSERT_TRUE(floorz[i].r == floorz[i].g && floorz[i].g == floorz[i].b) << i;
    for (int i = 0; i < ncars; i++)
        ASSERT_TRUE(carz[i].r == carz[i].g && carz[i].g == carz[i].b) << i;
}

TEST_F(World, FirstCarIsTheFastDarkOneWhateverItsDraws) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        resetscene();
        buildworld(seed);
        EXPECT_EQ(carz[0].speed, 16.2f);
        EXPECT_EQ(carz[0].r, 0.1f);
        EXPECT_EQ(carz[0].g, 0.1f);
        EXPECT_EQ(carz[0].b, 0.1f);
        for (int i = 1; i < ncars; i++) {
            ASSERT_LT(carz[i].speed, 11.2f) << i;
            ASSERT_GE(carz[i].speed, 1.2f) << i;
            ASSERT_GE(carz[i].r, 0.2f) << i;
        }
    }
}

TEST_F(World, CloudsAndTilesAlwaysDriftForward) {
    for (uint32_t seed : {10u, 20u}) {
        resetscene();
        buildworld(seed);
        for (int i = 0; i < nclouds; i++)
            ASSERT_GE(cloudz[i].speed, 0.4f) << i;
        for (int i = 0; i < ntiles; i++)
            ASSERT_GE(floorz[i].speed, 0.1f) << i;
    }
}

TEST_F(World, CamerasAndSeedsGetTheirStartValues) {
    buildworld(11);
    const mycam &r = mycamz[0], &c = mycamz[1];
    EXPECT_EQ(r.ycampos, 800.0f);
    EXPECT_EQ(r.xcampos, 0.0f);
    EXPECT_EQ(r.zcampos, 0.0f);
    EXPECT_EQ(r.camcounter, 2000);
    EXPECT_EQ(r.camtime, 0);
    EXPECT_EQ(r.lookcounter, 2000);
    EXPECT_EQ(r.looktime, 141);
    EXPECT_EQ(c.lookcounter, 2000);
    EXPECT_EQ(c.looktime, 101);
    EXPECT_EQ(c.camcounter, 0);
    EXPECT_EQ(c.camtime, 0);
    // Every look-at field of both cameras, and the car camera's eye, start at zero.
    for (const mycam *m : {&r, &c}) {
        const float look[] = {m->xlookpos,    m->ylookpos,    m->zlookpos,
                              m->xlookoldpos, m->ylookoldpos, m->zlookoldpos,
                              m->xlook,       m->ylook,       m->zlook};
        for (float v : look)
            EXPECT_EQ(v, 0.0f);
    }
    EXPECT_EQ(c.ycampos, 0.0f);
    for (int s : {ccr1, ccr2, ccg1, ccg2, ccb1, ccb2}) {
        EXPECT_GE(s, 1);
        EXPECT_LE(s, 30);
    }
    for (int i = 0; i < nturns; i++)
        ASSERT_TRUE(radoz[i] >= 0 && radoz[i] <= 2) << i;
}

// Draws reach only 32767, so a modulus above 16384 folds the top of the range onto the low
// remainders: those values come up twice as often as the ones above them.
TEST_F(World, LowRemaindersOfLargeModuliAreTwiceAsLikely) {
    // Counts below and above each threshold, over several worlds.
    long towerlow = 0, towerhigh = 0, ylow = 0, yhigh = 0, zlow = 0, zhigh = 0, xlow = 0, xhigh = 0;
    for (uint32_t seed : {100u, 200u, 300u, 400u}) {
        resetscene();
        buildworld(seed);
        for (int i = 0; i < ntowers; i++)
            (cityz[i].hpos <= 1339.2f ? towerlow : towerhigh)++;
        for (int i = ntowers; i < nbuildings; i++) {
            const city &c = cityz[i];
            (c.ypos <= 768.35f ? ylow : yhigh)++;
            if (c.dpos > 20.4f) (c.dpos <= 1377.2f ? zlow : zhigh)++;
            if (c.wpos > 20.4f) (c.wpos <= 1317.2f ? xlow : xhigh)++;
        }
    }
    // Density ratio of low to high values: 2 when folded, 1 for a flat distribution. The
    // value counts: 19400 heights of which 13368 low; 18000 heights, 14768 low; 19200
    // lengths, 13568 low; 19800 lengths, 12968 low.
    auto ratio = [](long low, long high, double nlow, double nhigh) {
        return (low / nlow) / (high / nhigh);
    };
    EXPECT_NEAR(ratio(towerlow, towerhigh, 13368, 6032), 2.0, 0.25);
    EXPECT_NEAR(ratio(ylow, yhigh, 14768, 3232), 2.0, 0.25);
    EXPECT_NEAR(ratio(zlow, zhigh, 13568, 5632), 2.0, 0.3);
    EXPECT_NEAR(ratio(xlow, xhigh, 12968, 6832), 2.0, 0.3);
}
