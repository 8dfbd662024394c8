// traffic_exact_test.cpp -- the car step keeps every bit whatever the heading, signed zeros too
// SPDX-License-Identifier: MIT
#include "anim/anim.h"
#include "helpers.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <cmath>

// The coordinate that gets no lane offset is copied as it is: a -0.0 stays -0.0 in the
// vertices, as a plain copy of the record would leave it.
TEST(TrafficExact, ZeroWithoutOffsetKeepsItsSignInTheVertices) {
    for (int s = 0; s < 4; s++) {
        resetscene();
        car &c = carz[3];
        c.state = s, c.wpos = 4.0f, c.dpos = 4.0f, c.offzet = 2.0f;
        c.xpos = -0.0f, c.zpos = -0.0f;
        placecar(3);
        bool alongz = s == 0 || s == 2; // offset along x
        const Vertex3 &v0 = car_verts[24];
        EXPECT_EQ(std::signbit(v0.x), !alongz) << "heading " << s;
        EXPECT_EQ(std::signbit(v0.z), alongz) << "heading " << s;
        EXPECT_EQ(v0.x, alongz ? 2.0f : 0.0f);
        EXPECT_EQ(v0.z, alongz ? 0.0f : 2.0f);
    }
}

// Moving toward the negative bound is a subtraction; the still coordinate is not even rewritten.
TEST(TrafficExact, StepSubtractsTowardMinusAndLeavesTheOtherAxisBitForBit) {
    const float speed = 0.1f, at = 1234.567f;
    for (int s = 0; s < 4; s++) {
        resetscene();
        car &c = carz[0];
        c.state = s, c.speed = speed;
        bool alongz = s == 0 || s == 2, back = s < 2;
        (alongz ? c.zpos : c.xpos) = at;
        (alongz ? c.xpos : c.zpos) = -0.0f;
        movecar(0);
        float want = back ? (float)((double)at - speed) : (float)((double)at + speed);
        EXPECT_EQ(alongz ? c.zpos : c.xpos, want) << "heading " << s;
        EXPECT_TRUE(std::signbit(alongz ? c.xpos : c.zpos)) << "heading " << s;
    }
}

// Every step redraws each car where its move left it.
TEST(TrafficExact, EveryCarIsDrawnWhereItsStepLeftIt) {
    resetscene();
    buildworld(99);
    for (int f = 0; f < 300; f++)
        traffic();
    for (int i = 0; i < ncars; i++) {
        const car &c = carz[i];
        bool alongz = c.state == 0 || c.state == 2;
        float x0 = alongz ? (float)((double)c.xpos + c.offzet) : c.xpos;
        float z0 = alongz ? c.zpos : (float)((double)c.zpos + c.offzet);
        ASSERT_EQ(car_verts[8 * i].x, x0) << "car " << i;
        ASSERT_EQ(car_verts[8 * i].z, z0) << "car " << i;
    }
}

// The far corner's sum runs left to right: position, then extent, then lane offset. With a
// tiny extent the double sum is inexact and the other order rounds to the next float.
TEST(TrafficExact, FarCornerAddsTheExtentBeforeTheLaneOffset) {
    const float x = -0x1.68063cp+9f, w = 0x1.066972p-44f, o = 0x1.5d10ap+4f;
    ASSERT_NE(f32(((double)x + w) + o), f32((double)x + ((double)w + o))) << "the orders differ";
    for (int s = 0; s < 4; s++) {
        resetscene();
        car &c = carz[2];
        c.state = s, c.offzet = o;
        c.xpos = x, c.wpos = w, c.zpos = x, c.dpos = w;
        placecar(2);
        const Vertex3 &far = car_verts[16 + 6];
        bool alongz = s == 0 || s == 2;
        EXPECT_EQ(alongz ? far.x : far.z, f32(((double)x + w) + o)) << "heading " << s;
    }
}
