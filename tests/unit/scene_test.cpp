// scene_test.cpp -- the scene store: start values, declared sizes, record layouts, reset
// SPDX-License-Identifier: MIT
#include "helpers.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

namespace {

// Counts non-zero bytes of an array.
template <class T, size_t N> size_t nonzero(const T (&a)[N]) {
    const unsigned char *p = (const unsigned char *)a;
    size_t n = 0;
    for (size_t k = 0; k < sizeof a; k++)
        n += p[k] != 0;
    return n;
}

size_t nonzeroarrays() {
    size_t n = 0;
#define NONZERO(type, name, ...) n += nonzero(name);
    SCENE_ARRAYS(NONZERO)
    return n;
}

struct scalars {
    int whichcam, fxcounter, fx, maxfx, camcc1, camcc2;
    float mmover, ccmove, cbound;
    int rpos, rstep, colstepz, ccr1, ccg1, ccb1, ccg2, ccr2, ccb2;
    bool nosurface;
};

scalars takescalars() {
    return {whichcam,
            fxcounter,
            fx,
            maxfx,
            camcc1,
            camcc2,
            mmover,
            ccmove,
            cbound,
            rpos,
            rstep,
            colstepz,
            ccr1,
            ccg1,
            ccb1,
            ccg2,
            ccr2,
            ccb2,
            surface == nullptr};
}

// Taken while the test binary starts, before any test can touch the store: the values the
// program itself starts with, whatever order the tests later run in.
const scalars atstart = takescalars();
const size_t nonzeroatstart = nonzeroarrays();

void expectstartvalues(const scalars &s) {
    EXPECT_EQ(s.whichcam, 0);
    EXPECT_EQ(s.fxcounter, 1400);
    EXPECT_EQ(s.fx, 0);
    EXPECT_EQ(s.maxfx, 1);
    EXPECT_EQ(s.camcc1, 0);
    EXPECT_EQ(s.camcc2, 0);
    EXPECT_EQ(s.mmover, 400.0f);
    EXPECT_EQ(s.ccmove, 20.0f);
    EXPECT_EQ(s.cbound, 6000.0f);
    EXPECT_EQ(s.rpos, 1);
    EXPECT_EQ(s.rstep, 1);
    EXPECT_EQ(s.colstepz, 0);
    EXPECT_EQ(s.ccr1, 0);
    EXPECT_EQ(s.ccg1, 0);
    EXPECT_EQ(s.ccb1, 0);
    EXPECT_EQ(s.ccg2, 0);
    EXPECT_EQ(s.ccr2, 0);
    EXPECT_EQ(s.ccb2, 0);
    EXPECT_TRUE(s.nosurface);
}

#define COUNT(a) (sizeof(a) / sizeof((a)[0]))

} // namespace

TEST(SceneStore, ScalarsHoldTheirStartValuesAtProcessStart) {
    expectstartvalues(atstart);
}

TEST(SceneStore, EveryArrayIsZeroBeforeTheWorldIsBuilt) {
    EXPECT_EQ(nonzeroatstart, 0u);
}

TEST(SceneStore, ArraysHaveTheirDeclaredSizes) {
    EXPECT_EQ(COUNT(cityz), 12000u);
    EXPECT_EQ(COUNT(city_verts), 96000u);
    EXPECT_EQ(COUNT(city_colors), 96000u);
    EXPECT_EQ(COUNT(city_indexes), 288000u);
    EXPECT_EQ(COUNT(carz), 6000u);
    EXPECT_EQ(COUNT(car_verts), 48000u);
    EXPECT_EQ(COUNT(car_colors), 48000u);
    EXPECT_EQ(COUNT(car_indexes), 144000u);
    EXPECT_EQ(COUNT(cloudz), 1000u);
    EXPECT_EQ(COUNT(cloud_verts), 4001u);
    EXPECT_EQ(COUNT(cloud_indexes), 4001u);
    EXPECT_EQ(COUNT(floorz), 600u);
    EXPECT_EQ(COUNT(floor_verts), 2401u);
    EXPECT_EQ(COUNT(floor_colors), 2401u);
    EXPECT_EQ(COUNT(floor_indexes), 2401u);
    EXPECT_EQ(COUNT(radoz), 6000u);
    EXPECT_EQ(COUNT(mycamz), 2u);
}

TEST(SceneStore, ArraysTakeAboutSixMegabytesInAll) {
    size_t total = 0;
#define SIZE(type, name, ...) total += sizeof name;
    SCENE_ARRAYS(SIZE)
    // 17 arrays of 4-byte values: 1544255 values.
    EXPECT_EQ(total, 1544255u * 4);
}

// Every field is 4 bytes, packed in declared order, so the arrays go to OpenGL as they are.
TEST(SceneStore, RecordsAreFourByteFieldsInDeclaredOrder) {
    static_assert(sizeof(GLfloat) == 4 && sizeof(GLuint) == 4 && sizeof(int) == 4);
    static_assert(std::is_same_v<GLfloat, float>);

    EXPECT_EQ(sizeof(Vertex3), 12u);
    EXPECT_EQ(offsetof(Vertex3, x), 0u);
    EXPECT_EQ(offsetof(Vertex3, y), 4u);
    EXPECT_EQ(offsetof(Vertex3, z), 8u);

    EXPECT_EQ(sizeof(city), 40u);
    size_t c[] = {offsetof(city, xpos),  offsetof(city, ypos), offsetof(city, zpos),
                  offsetof(city, speed), offsetof(city, wpos), offsetof(city, hpos),
                  offsetof(city, dpos),  offsetof(city, r),    offsetof(city, g),
                  offsetof(city, b)};
    for (size_t k = 0; k < COUNT(c); k++)
        EXPECT_EQ(c[k], 4 * k) << "city field " << k;

    EXPECT_EQ(sizeof(car), 52u);
    size_t a[] = {offsetof(car, xpos),  offsetof(car, ypos),   offsetof(car, zpos),
                  offsetof(car, speed), offsetof(car, wpos),   offsetof(car, hpos),
                  offsetof(car, dpos),  offsetof(car, r),      offsetof(car, g),
                  offsetof(car, b),     offsetof(car, offzet), offsetof(car, blockm),
                  offsetof(car, state)};
    for (size_t k = 0; k < COUNT(a); k++)
        EXPECT_EQ(a[k], 4 * k) << "car field " << k;
    static_assert(std::is_same_v<decltype(car::state), int>);

    EXPECT_EQ(sizeof(cloud), 24u);
    size_t l[] = {offsetof(cloud, xpos),  offsetof(cloud, ypos), offsetof(cloud, zpos),
                  offsetof(cloud, speed), offsetof(cloud, wpos), offsetof(cloud, hpos)};
    for (size_t k = 0; k < COUNT(l); k++)
        EXPECT_EQ(l[k], 4 * k) << "cloud field " << k;

    EXPECT_EQ(sizeof(flooro), 36u);
    size_t f[] = {offsetof(flooro, xpos),  offsetof(flooro, ypos), offsetof(flooro, zpos),
                  offsetof(flooro, speed), offsetof(flooro, wpos), offsetof(flooro, hpos),
                  offsetof(flooro, r),     offsetof(flooro, g),    offsetof(flooro, b)};
    for (size_t k = 0; k < COUNT(f); k++)
        EXPECT_EQ(f[k], 4 * k) << "flooro field " << k;

    EXPECT_EQ(sizeof(mycam), 88u);
    size_t m[] = {
        offsetof(mycam, xcampos),     offsetof(mycam, ycampos),     offsetof(mycam, zcampos),
        offsetof(mycam, xcamoldpos),  offsetof(mycam, ycamoldpos),  offsetof(mycam, zcamoldpos),
        offsetof(mycam, xcam),        offsetof(mycam, ycam),        offsetof(mycam, zcam),
        offsetof(mycam, xlookpos),    offsetof(mycam, ylookpos),    offsetof(mycam, zlookpos),
        offsetof(mycam, xlookoldpos), offsetof(mycam, ylookoldpos), offsetof(mycam, zlookoldpos),
        offsetof(mycam, xlook),       offsetof(mycam, ylook),       offsetof(mycam, zlook),
        offsetof(mycam, camcounter),  offsetof(mycam, camtime),     offsetof(mycam, lookcounter),
        offsetof(mycam, looktime)};
    for (size_t k = 0; k < COUNT(m); k++)
        EXPECT_EQ(m[k], 4 * k) << "mycam field " << k;
    static_assert(std::is_same_v<decltype(mycam::camcounter), int> &&
                  std::is_same_v<decltype(mycam::looktime), int>);
}

TEST(SceneStore, ResetRestoresEveryStartValueAndZeroesEveryArray) {
    whichcam = 1, fxcounter = 7, fx = 1, maxfx = 3, camcc1 = 2, camcc2 = 1;
    mmover = 1, ccmove = 2, cbound = 3, rpos = 9, rstep = 4, colstepz = 55;
    ccr1 = ccg1 = ccb1 = ccg2 = ccr2 = ccb2 = 17;
    surface = (SDL_Surface *)&cityz;
    cityz[11999].b = 1, city_verts[95999].z = 1, city_colors[0].x = 1, city_indexes[287999] = 1;
    carz[5999].state = 3, car_verts[47999].z = 1, car_colors[1].y = 1, car_indexes[143999] = 1;
    cloudz[999].hpos = 1, cloud_verts[4000].z = 1, cloud_indexes[4000] = 1;
    floorz[599].b = 1, floor_verts[2400].x = 1, floor_colors[2400].y = 1, floor_indexes[2400] = 1;
    radoz[5999] = 2, mycamz[1].looktime = 101;

    resetscene();
    expectstartvalues(takescalars());
    EXPECT_EQ(nonzeroarrays(), 0u);
}
