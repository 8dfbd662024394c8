// mesh_test.cpp -- mesh building: box and quad corners, colours, index patterns, spare entries
// SPDX-License-Identifier: MIT
#include "helpers.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class Mesh : public ::testing::Test {
  protected:
    void SetUp() override { resetscene(); }
};

void expectvertex(const Vertex3 &v, float x, float y, float z, const char *what, int n) {
    EXPECT_EQ(v.x, x) << what << " " << n;
    EXPECT_EQ(v.y, y) << what << " " << n;
    EXPECT_EQ(v.z, z) << what << " " << n;
}

} // namespace

TEST_F(Mesh, BuildingSevenGivesTheWorkedExample) {
    cityz[7] = {100, 0, -40, 20, 10, 500, 20, 0.5f, 0.25f, 0.125f};
    buildmesh();
    const float want[8][3] = {{100, 0, -40}, {110, 0, -40}, {110, 500, -40}, {100, 500, -40},
                              {100, 0, -20}, {110, 0, -20}, {110, 500, -20}, {100, 500, -20}};
    for (int k = 0; k < 8; k++) {
        expectvertex(city_verts[56 + k], want[k][0], want[k][1], want[k][2], "vertex", 56 + k);
        expectvertex(city_colors[56 + k], 0.5f, 0.25f, 0.125f, "colour", 56 + k);
    }
    const GLuint ix[24] = {56, 57, 58, 59, 57, 61, 62, 58, 61, 62, 63, 60,
                           56, 59, 63, 60, 56, 60, 61, 57, 59, 58, 62, 63};
    for (int m = 0; m < 24; m++)
        EXPECT_EQ(city_indexes[168 + m], ix[m]) << "index " << 168 + m;
}

TEST_F(Mesh, EveryBoxListsItsOwnEightVerticesInThePattern) {
    buildmesh();
    for (int i = 0; i < nbuildings; i++)
        for (int m = 0; m < 24; m++)
            ASSERT_EQ(city_indexes[24 * i + m], 8u * i + boxquads[m]) << "building " << i;
    for (int i = 0; i < ncars; i++)
        for (int m = 0; m < 24; m++)
            ASSERT_EQ(car_indexes[24 * i + m], 8u * i + boxquads[m]) << "car " << i;
    EXPECT_EQ(city_indexes[287976], 95992u);
    EXPECT_EQ(city_indexes[287977], 95993u);
    EXPECT_EQ(city_indexes[287978], 95994u);
    EXPECT_EQ(city_indexes[287979], 95995u);
    EXPECT_EQ(*std::max_element(city_indexes, city_indexes + ncityindexes), 95999u);
    EXPECT_EQ(*std::max_element(car_indexes, car_indexes + ncarindexes), 47999u);
}

TEST_F(Mesh, FlatQuadIndexesCountUpAndSpareEntriesStayZero) {
    buildworld(2024); // real records, so a stray write into a spare entry would show
    for (int k = 0; k < nfloorverts; k++)
        ASSERT_EQ(floor_indexes[k], (GLuint)k);
    for (int k = 0; k < ncloudverts; k++)
        ASSERT_EQ(cloud_indexes[k], (GLuint)k);
    EXPECT_EQ(floor_indexes[2399], 2399u);
    EXPECT_EQ(cloud_indexes[3999], 3999u);
    EXPECT_EQ(floor_indexes[2400], 0u);
    EXPECT_EQ(cloud_indexes[4000], 0u);
    expectvertex(floor_verts[2400], 0, 0, 0, "floor vertex", 2400);
    expectvertex(floor_colors[2400], 0, 0, 0, "floor colour", 2400);
    expectvertex(cloud_verts[4000], 0, 0, 0, "cloud vertex", 4000);
}

// Each coordinate is a field or the sum of a position and an extent, rounded once.
TEST_F(Mesh, EveryVertexComesFromItsRecordAndEveryColourIsCopied) {
    buildworld(99);
    auto sum = [](float a, float b) { return f32((double)a + b); };
    for (int i = 0; i < nbuildings; i++) {
        const city &c = cityz[i];
        const Vertex3 *v = &city_verts[8 * i];
        float x1 = sum(c.xpos, c.wpos), y1 = sum(c.ypos, c.hpos), z1 = sum(c.zpos, c.dpos);
        const float want[8][3] = {
            {c.xpos, c.ypos, c.zpos}, {x1, c.ypos, c.zpos}, {x1, y1, c.zpos}, {c.xpos, y1, c.zpos},
            {c.xpos, c.ypos, z1},     {x1, c.ypos, z1},     {x1, y1, z1},     {c.xpos, y1, z1}};
        for (int k = 0; k < 8; k++) {
            ASSERT_TRUE(v[k].x == want[k][0] && v[k].y == want[k][1] && v[k].z == want[k][2])
                << "building " << i << " vertex " << k;
            const Vertex3 &col = city_colors[8 * i + k];
            ASSERT_TRUE(col.x == c.r && col.y == c.g && col.z == c.b) << "building " << i;
        }
    }
    for (int i = 0; i < ncars; i++) {
        const car &c = carz[i];
        const Vertex3 *v = &car_verts[8 * i];
        float x1 = sum(c.xpos, c.wpos), y1 = sum(c.ypos, c.hpos), z1 = sum(c.zpos, c.dpos);
        const float wantx[8] = {c.xpos, x1, x1, c.xpos, c.xpos, x1, x1, c.xpos};
        const float wanty[8] = {c.ypos, c.ypos, y1, y1, c.ypos, c.ypos, y1, y1};
        const float wantz[8] = {c.zpos, c.zpos, c.zpos, c.zpos, z1, z1, z1, z1};
        for (int k = 0; k < 8; k++) {
            ASSERT_TRUE(v[k].x == wantx[k] && v[k].y == wanty[k] && v[k].z == wantz[k])
                << "car " << i << " vertex " << k;
            const Vertex3 &col = car_colors[8 * i + k];
            ASSERT_TRUE(col.x == c.r && col.y == c.g && col.z == c.b) << "car " << i;
        }
    }
    for (int i = 0; i < ntiles; i++) {
        const flooro &f = floorz[i];
        const Vertex3 *v = &floor_verts[4 * i];
        float x1 = sum(f.xpos, f.wpos), z1 = sum(f.zpos, f.hpos);
        const float wantx[4] = {f.xpos, x1, x1, f.xpos}, wantz[4] = {f.zpos, f.zpos, z1, z1};
        for (int k = 0; k < 4; k++) {
            ASSERT_TRUE(v[k].x == wantx[k] && v[k].y == f.ypos && v[k].z == wantz[k])
                << "tile " << i << " vertex " << k;
            const Vertex3 &col = floor_colors[4 * i + k];
            ASSERT_TRUE(col.x == f.r && col.y == f.g && col.z == f.b) << "tile " << i;
        }
    }
    for (int i = 0; i < nclouds; i++) {
        const cloud &c = cloudz[i];
        const Vertex3 *v = &cloud_verts[4 * i];
        float x1 = sum(c.xpos, c.wpos), z1 = sum(c.zpos, c.hpos);
        const float wantx[4] = {c.xpos, x1, x1, c.xpos}, wantz[4] = {c.zpos, c.zpos, z1, z1};
        for (int k = 0; k < 4; k++)
            ASSERT_TRUE(v[k].x == wantx[k] && v[k].y == c.ypos && v[k].z == wantz[k])
                << "cloud " << i << " vertex " << k;
    }
}

// Red, green and blue land in x, y and z of every colour entry of a box or tile.
TEST_F(Mesh, ColourChannelsGoToTheirOwnMembers) {
    cityz[3] = {0, 0, 0, 20, 1, 1, 1, 0.1f, 0.2f, 0.3f};
    carz[4].r = 0.4f, carz[4].g = 0.5f, carz[4].b = 0.6f;
    floorz[5].r = 0.7f, floorz[5].g = 0.8f, floorz[5].b = 0.9f;
    buildmesh();
    for (int k = 0; k < 8; k++) {
        expectvertex(city_colors[24 + k], 0.1f, 0.2f, 0.3f, "building colour", 24 + k);
        expectvertex(car_colors[32 + k], 0.4f, 0.5f, 0.6f, "car colour", 32 + k);
    }
    for (int k = 0; k < 4; k++)
        expectvertex(floor_colors[20 + k], 0.7f, 0.8f, 0.9f, "tile colour", 20 + k);
}

TEST_F(Mesh, FirstCarIsBuiltInItsReplacedDarkGrey) {
    buildworld(6);
    for (int k = 0; k < 8; k++)
        expectvertex(car_colors[k], 0.1f, 0.1f, 0.1f, "car colour", k);
}

TEST_F(Mesh, TowersHaveFourCornersOnTheGroundAndFourAtTheirHeight) {
    buildworld(12);
    for (int i = 0; i < ntowers; i++) {
        const Vertex3 *v = &city_verts[8 * i];
        for (int k : {0, 1, 4, 5})
            ASSERT_EQ(v[k].y, 0.0f) << "tower " << i;
        for (int k : {2, 3, 6, 7})
            ASSERT_EQ(v[k].y, cityz[i].hpos) << "tower " << i;
    }
}

// Extents are added as they are, with no test of sign: a hand-made negative extent shows it.
TEST_F(Mesh, ExtentsAreAddedWithoutReorderingCorners) {
    cityz[0] = {10, 5, 20, 0, -4, 6, -8, 0, 0, 0};
    floorz[0] = {1, 2, 3, 0.5f, -1, -2, 0.1f, 0.1f, 0.1f};
    buildmesh();
    expectvertex(city_verts[0], 10, 5, 20, "vertex", 0);
    expectvertex(city_verts[6], 6, 11, 12, "vertex", 6);
    expectvertex(floor_verts[2], 0, 2, 1, "floor vertex", 2);
}
