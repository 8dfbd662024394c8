// traffic_exact_test.cpp -- the car step keeps every bit whatever the heading, signed zeros too
#include "anim/anim.h"
#include "helpers.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

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

// All cars move before any is redrawn; the drawn boxes must still be those of the moved cars.
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

namespace {

// Everything a step of the cars can change, to compare two ways of taking it.
struct carstate {
    car cars[ncars];
    Vertex3 verts[ncarverts];
    uint32_t random;
    uint64_t draws;
    int pos, stride;
};

// Snapshots are static: each is most of a megabyte.
carstate before, plain, now;

const carstate &grab(carstate &s) {
    memcpy(s.cars, carz, sizeof carz);
    memcpy(s.verts, car_verts, sizeof car_verts);
    s.random = randomstate, s.draws = randomdraws, s.pos = rpos, s.stride = rstep;
    return s;
}

void restore(const carstate &s) {
    memcpy(carz, s.cars, sizeof carz);
    memcpy(car_verts, s.verts, sizeof car_verts);
    randomstate = s.random, randomdraws = s.draws, rpos = s.pos, rstep = s.stride;
}

void expectsame(const carstate &a, const carstate &b, const char *what) {
    for (int i = 0; i < ncars; i++) {
        ASSERT_EQ(memcmp(&a.cars[i], &b.cars[i], sizeof(car)), 0) << what << ": record " << i;
        ASSERT_EQ(memcmp(&a.verts[8 * i], &b.verts[8 * i], 8 * sizeof(Vertex3)), 0)
            << what << ": vertices of car " << i;
    }
    ASSERT_EQ(a.random, b.random) << what;
    ASSERT_EQ(a.draws, b.draws) << what;
    ASSERT_EQ(a.pos, b.pos) << what;
    ASSERT_EQ(a.stride, b.stride) << what;
}

// The plain per-car road: move, then redraw.
void plainstep() {
    for (int i = 0; i < ncars; i++) {
        movecar(i);
        placecar(i);
    }
}

} // namespace

// Random records, mostly in the common case (inside the bound, mid-block), some on the odd
// side: speeds of zero, -0.0 or below zero, counts past the block end, positions past the
// bound, signed zeros. The steps that traffic takes must equal movecar then placecar, bit for bit.
TEST(TrafficExact, QuickStepsMatchMoveThenPlaceOnRandomRecords) {
    std::mt19937 g(20261207);
    auto coin = [&](int in) { return g() % (unsigned)in == 0; };
    for (int round = 0; round < 12; round++) {
        resetscene();
        seedrandom(round);
        for (int k = 0; k < nturns; k++)
            radoz[k] = (int)(g() % 3);
        for (int i = 0; i < ncars; i++) {
            car &c = carz[i];
            c.state = (int)(g() % 4);
            c.xpos = coin(50) ? -0.0f : anyfloat(g, -24, 12, coin(2));
            c.zpos = coin(50) ? (coin(2) ? 0.0f : -0.0f) : anyfloat(g, -24, 12, coin(2));
            if (coin(20))
                (coin(2) ? c.xpos : c.zpos) = anyfloat(g, 12, 13, coin(2)); // near the bound
            c.ypos = anyfloat(g, -4, 6, coin(4));
            c.speed = coin(40) ? (coin(2) ? 0.0f : -0.0f) : anyfloat(g, -12, 5, coin(30));
            c.wpos = anyfloat(g, -8, 6, false), c.hpos = anyfloat(g, -8, 6, false);
            c.dpos = anyfloat(g, -8, 6, false);
            c.offzet = coin(10) ? (coin(2) ? 0.0f : -0.0f) : anyfloat(g, -16, 6, coin(2));
            c.blockm = coin(10) ? 0.0f : anyfloat(g, -10, 9, false); // up to 1024
            if (coin(100)) { // a broken heading: it must still move as movecar moves it
                const int odd[] = {4, 5, 6, 7, -1, -4};
                c.state = odd[g() % 6], c.blockm = 0.0f, c.speed = 1.0f;
            }
        }
        for (int k = 0; k < ncarverts; k++)
            car_verts[k] = {anyfloat(g, 0, 4, true), anyfloat(g, 0, 4, false), 0.0f};
        grab(before);
        plainstep();
        grab(plain);
        restore(before);
        traffic();
        expectsame(grab(now), plain, "traffic on random records");
        restore(before);
        for (int i = 0; i < ncars; i++)
            drivecar(i);
        expectsame(grab(now), plain, "drivecar on random records");
    }
}

// A generated world over many steps: wraps, block ends and turns as the demo meets them.
TEST(TrafficExact, TrafficMatchesMoveThenPlaceOverALongRun) {
    for (uint32_t seed : {5u, 123456789u}) {
        resetscene();
        buildworld(seed);
        grab(before);
        for (int f = 0; f < 1500; f++)
            plainstep();
        grab(plain);
        EXPECT_GT(plain.draws, before.draws) << "the run should reach past the turn table's end";
        restore(before);
        for (int f = 0; f < 1500; f++)
            traffic();
        expectsame(grab(now), plain, "traffic over a long run");
        restore(before);
        for (int f = 0; f < 1500; f++)
            for (int i = 0; i < ncars; i++)
                drivecar(i);
        expectsame(grab(now), plain, "drivecar over a long run");
    }
}

// The far corner's sum runs left to right: position, then extent, then lane offset. With a
// tiny extent the double sum is inexact and the other order rounds to the next float.
TEST(TrafficExact, FarCornerAddsTheExtentBeforeTheLaneOffset) {
    const float x = -0x1.68063cp+9f, w = 0x1.066972p-44f, o = 0x1.5d10ap+4f;
    ASSERT_NE(f32(((double)x + w) + o), f32((double)x + ((double)w + o))) << "the orders differ";
    for (int s = 0; s < 4; s++) {
        for (void (*step)(int) : {drivecar, placecar}) {
            resetscene();
            car &c = carz[2];
            c.state = s, c.speed = 1.0f, c.offzet = o;
            c.xpos = x, c.wpos = w, c.zpos = x, c.dpos = w; // the offset axis stands still
            step(2);
            const Vertex3 &far = car_verts[16 + 6];
            bool alongz = s == 0 || s == 2;
            EXPECT_EQ(alongz ? far.x : far.z, f32(((double)x + w) + o)) << "heading " << s;
        }
    }
}
