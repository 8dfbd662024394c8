// drift_test.cpp -- clouds and ground tiles drifting toward -z with the mirror wrap
// SPDX-License-Identifier: MIT
#include "anim/anim.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class Drift : public ::testing::Test {
  protected:
    void SetUp() override { resetscene(); }
};

void expectquadz(const Vertex3 *v, float nearz, float farz, const char *what) {
    EXPECT_EQ(v[0].z, nearz) << what;
    EXPECT_EQ(v[1].z, nearz) << what;
    EXPECT_EQ(v[2].z, farz) << what;
    EXPECT_EQ(v[3].z, farz) << what;
}

} // namespace

TEST_F(Drift, QuadJustPastTheBoundWrapsToItsMirrorImage) {
    cloudz[3].zpos = -7999.5f, cloudz[3].speed = 1.0f, cloudz[3].hpos = 300.25f;
    floorz[4].zpos = -7999.5f, floorz[4].speed = 1.0f, floorz[4].hpos = 40.5f;
    driftclouds();
    driftfloor();
    EXPECT_EQ(cloudz[3].zpos, 8000.5f);
    expectquadz(&cloud_verts[12], 8000.5f, 8300.75f, "cloud");
    EXPECT_EQ(floorz[4].zpos, 8000.5f);
    expectquadz(&floor_verts[16], 8000.5f, 8041.0f, "tile");
}

TEST_F(Drift, ExactlyMinus8000DoesNotWrapUntilTheNextStep) {
    cloudz[0].zpos = -7999.0f, cloudz[0].speed = 1.0f, cloudz[0].hpos = 10.0f;
    floorz[0].zpos = -7999.0f, floorz[0].speed = 1.0f, floorz[0].hpos = 10.0f;
    driftclouds();
    driftfloor();
    EXPECT_EQ(cloudz[0].zpos, -8000.0f);
    EXPECT_EQ(floorz[0].zpos, -8000.0f);
    expectquadz(&cloud_verts[0], -8000.0f, -7990.0f, "cloud");
    expectquadz(&floor_verts[0], -8000.0f, -7990.0f, "tile");
    driftclouds();
    driftfloor();
    EXPECT_EQ(cloudz[0].zpos, 8001.0f);
    EXPECT_EQ(floorz[0].zpos, 8001.0f);
}

// The difference lies below -8000 but rounds onto it: the wrap tests the exact value.
TEST_F(Drift, WrapTestUsesTheUnroundedDifference) {
    const float speed = 10.0001f;
    ASSERT_EQ(f32(-7990.0 - (double)speed), -8000.0f);
    cloudz[0].zpos = -7990.0f, cloudz[0].speed = speed, cloudz[0].hpos = 100.0f;
    floorz[0].zpos = -7990.0f, floorz[0].speed = speed, floorz[0].hpos = 100.0f;
    driftclouds();
    driftfloor();
    float mirror = f32(7990.0 + (double)speed);
    EXPECT_EQ(cloudz[0].zpos, mirror);
    EXPECT_EQ(floorz[0].zpos, mirror);
    expectquadz(&cloud_verts[0], mirror, f32((double)mirror + 100.0), "cloud");
}

// Random quads, many a step from the bound: every one must come out as the plain double
// arithmetic has it (difference and far edge in double, rounded once to float), bit for bit.
TEST_F(Drift, RandomQuadsMatchTheDoubleArithmetic) {
    std::mt19937 g(8000);
    auto coin = [&](int in) { return g() % (unsigned)in == 0; };
    for (int round = 0; round < 200; round++) {
        cloud want[nclouds];
        for (int i = 0; i < nclouds; i++) {
            cloud &c = cloudz[i];
            c.speed = coin(20) ? (coin(2) ? 0.0f : -0.0f) : anyfloat(g, -24, 8, coin(10));
            c.hpos = anyfloat(g, -24, 13, coin(4));
            c.zpos = anyfloat(g, -24, 13, coin(2));
            if (coin(3)) { // within a step of the bound, or exactly on it
                double d = -8000.0 + (coin(4) ? 0.0 : (double)c.speed * (g() % 3));
                c.zpos = coin(4) ? -8000.0f : f32(d);
            }
            want[i] = c;
            double d = (double)c.zpos - c.speed;
            want[i].zpos = d < -8000.0 ? f32(-d) : f32(d);
        }
        driftclouds();
        for (int i = 0; i < nclouds; i++) {
            ASSERT_EQ(memcmp(&cloudz[i], &want[i], sizeof(cloud)), 0)
                << "round " << round << ", cloud " << i << ": " << cloudz[i].zpos << " vs "
                << want[i].zpos;
            float far = f32((double)want[i].zpos + want[i].hpos);
            const Vertex3 *v = &cloud_verts[4 * i];
            ASSERT_TRUE(memcmp(&v[0].z, &want[i].zpos, 4) == 0 &&
                        memcmp(&v[1].z, &want[i].zpos, 4) == 0 && memcmp(&v[2].z, &far, 4) == 0 &&
                        memcmp(&v[3].z, &far, 4) == 0)
                << "round " << round << ", cloud " << i;
        }
    }
}

TEST_F(Drift, PositionAccumulatesInTheStoredFloat) {
    cloudz[1].zpos = 1000.0f, cloudz[1].speed = 0.1f, cloudz[1].hpos = 1.0f;
    double want = 1000.0f;
    for (int k = 0; k < 1000; k++) {
        driftclouds();
        want = f32(want - (double)0.1f);
    }
    EXPECT_EQ(cloudz[1].zpos, (float)want);
    EXPECT_EQ(cloud_verts[6].z, f32(want + 1.0));
}

TEST_F(Drift, OnlyTheZOfEachQuadChanges) {
    for (int i = 0; i < ntiles; i++) {
        flooro &f = floorz[i];
        f = {(float)i, 0.0f, -100.0f * i, 0.1f + i % 7, 30.0f, 25.5f + i, 0.01f, 0.02f, 0.03f};
    }
    for (int i = 0; i < nclouds; i++) {
        cloud &c = cloudz[i];
        c = {(float)-i, 30.0f + i, 7.0f * i - 7990.0f, 0.4f + i % 9, 200.0f, 152.5f + i};
    }
    for (int k = 0; k <= nfloorverts; k++) {
        floor_verts[k] = {(float)k, (float)-k, 0.0f};
        floor_colors[k] = {0.5f, (float)k, 0.25f};
        floor_indexes[k] = (GLuint)(7 * k);
    }
    for (int k = 0; k <= ncloudverts; k++) {
        cloud_verts[k] = {(float)k, (float)-k, 0.0f};
        cloud_indexes[k] = (GLuint)(5 * k);
    }
    floor_verts[nfloorverts].z = 77.0f, cloud_verts[ncloudverts].z = 66.0f;
    for (int step = 0; step < 50; step++) {
        driftclouds();
        driftfloor();
    }
    for (int k = 0; k <= nfloorverts; k++) {
        ASSERT_TRUE(floor_verts[k].x == (float)k && floor_verts[k].y == (float)-k) << k;
        ASSERT_TRUE(floor_colors[k].x == 0.5f && floor_colors[k].y == (float)k) << k;
        ASSERT_EQ(floor_indexes[k], (GLuint)(7 * k));
    }
    for (int k = 0; k <= ncloudverts; k++) {
        ASSERT_TRUE(cloud_verts[k].x == (float)k && cloud_verts[k].y == (float)-k) << k;
        ASSERT_EQ(cloud_indexes[k], (GLuint)(5 * k));
    }
    EXPECT_EQ(floor_verts[nfloorverts].z, 77.0f); // the spare entries are never written
    EXPECT_EQ(cloud_verts[ncloudverts].z, 66.0f);
    for (int i = 0; i < ntiles; i++) {
        const flooro &f = floorz[i];
        ASSERT_TRUE(f.xpos == (float)i && f.wpos == 30.0f && f.r == 0.01f && f.b == 0.03f);
        expectquadz(&floor_verts[4 * i], f.zpos, f32((double)f.zpos + f.hpos), "tile");
    }
    for (int i = 0; i < nclouds; i++) {
        const cloud &c = cloudz[i];
        ASSERT_TRUE(c.xpos == (float)-i && c.ypos == 30.0f + i && c.wpos == 200.0f);
        expectquadz(&cloud_verts[4 * i], c.zpos, f32((double)c.zpos + c.hpos), "cloud");
    }
}

TEST_F(Drift, DriftDrawsNoRandomNumbers) {
    seedrandom(3);
    for (int i = 0; i < nclouds; i++)
        cloudz[i].speed = 5.0f, cloudz[i].zpos = -7998.0f;
    driftclouds();
    driftfloor();
    EXPECT_EQ(randomdraws, 0u);
}
