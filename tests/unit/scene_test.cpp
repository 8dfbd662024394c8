// scene_test.cpp -- the scene store: start values, declared sizes, record layouts, reset
// SPDX-License-Identifier: MIT
#include "helpers.h"
#include "scene/dump.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
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

// Every scalar, taken from the store, and whether the screen surface is unset.
struct scalars {
#define SCALARFIELD(type, name, ...) type name;
    SCENE_SCALARS(SCALARFIELD)
    bool nosurface;
};

scalars takescalars() {
    scalars s;
#define TAKESCALAR(type, name, ...) s.name = name;
    SCENE_SCALARS(TAKESCALAR)
    s.nosurface = surface == nullptr;
    return s;
}

// Taken while the test binary starts, before any test can touch the store: the values the
// program itself starts with, whatever order the tests later run in.
const scalars atstart = takescalars();
const size_t nonzeroatstart = nonzeroarrays();

void expectstartvalues(const scalars &s) {
#define EXPECTSTART(type, name, start, rewritten) EXPECT_EQ(s.name, (type)(start)) << #name;
    SCENE_SCALARS(EXPECTSTART)
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
#define EXPECTSIZE(type, name, n, ...) EXPECT_EQ(sizeof name, sizeof(type) * (n)) << #name;
    SCENE_ARRAYS(EXPECTSIZE)
}

// Their storage is what the dump counts for them: the dump's bytes less a word per scalar and
// one for the random state.
TEST(SceneStore, ArraysTakeWhatTheDumpCountsForThem) {
    size_t total = 0;
#define SIZE(type, name, ...) total += sizeof name;
    SCENE_ARRAYS(SIZE)
    EXPECT_EQ(total, (size_t)dumpbytes - 4 * (ndumpparts - narrays));
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
    // Every scalar off its start value, every byte of every array set.
#define UNSET(type, name, start, rewritten) name = (type)(start) + 7;
    SCENE_SCALARS(UNSET)
    surface = (SDL_Surface *)&cityz;
#define FILL(type, name, ...) std::memset(name, 0xff, sizeof name);
    SCENE_ARRAYS(FILL)
    ASSERT_EQ(nonzeroarrays(), (size_t)dumpbytes - 4 * (ndumpparts - narrays));

    resetscene();
    expectstartvalues(takescalars());
    EXPECT_EQ(nonzeroarrays(), 0u);
}
