// replay_check_test.cpp -- the invariant checker: quiet on sound states, loud on broken ones
// SPDX-License-Identifier: MIT
#include "runreplay.h"

#include "replay.h"

#include "anim/anim.h"
#include "scene/scene.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <cmath>

// A world with a few checked frames behind it; each test then breaks one thing.
class Checker : public ::testing::Test {
  protected:
    uint32_t frame = 0;
    void SetUp() override {
        frame = 0;
        resetscene();
        buildworld(2024);
        ASSERT_EQ(checkstart(), nullptr);
        for (int i = 0; i < 30; i++)
            step();
    }
    void step() {
        calcme();
        changecolc();
        const char *why = checkframe(++frame);
        ASSERT_EQ(why, nullptr) << why;
    }
    // The message names the broken invariant.
    static void names(const char *why, const char *what) {
        ASSERT_NE(why, nullptr) << "no violation found, expected: " << what;
        EXPECT_NE(std::string(why).find(what), std::string::npos) << why;
    }
};

TEST_F(Checker, SoundStatesPassIncludingUntouchedArrays) {
    EXPECT_EQ(checkuntouched(), nullptr);
}

TEST_F(Checker, CarsOutOfRangeOrOffTheirRecordAreCaught) {
    carz[17].state = 4;
    names(checkframe(frame), "car 17: state 4");
    SetUp();
    carz[3].xpos = cbound + 1.0f;
    placecar(3); // vertices consistent, the position itself is out of range
    names(checkframe(frame), "car 3: grid position");
    SetUp();
    car_verts[8 * 40 + 5].x += 0.5f;
    names(checkframe(frame), "car 40: vertex 5");
    SetUp();
    car_verts[8 * 41 + 2].y += 1.0f; // the tops never move
    names(checkframe(frame), "car 41: vertex 2");
    SetUp();
    carz[5].hpos = 3.0f;
    names(checkframe(frame), "car 5: a field the traffic never writes");
    SetUp();
    carz[6].offzet = 7.0f;
    placecar(6);
    names(checkframe(frame), "car 6: offzet");
    SetUp();
    carz[7].blockm = mmover + 1.0f;
    names(checkframe(frame), "car 7: blockm");
    SetUp();
    carz[8].zpos = NAN;
    names(checkframe(frame), "car 8: a coordinate is not finite");
}

TEST_F(Checker, DriftBoundsAndQuadsAreCaught) {
    cloudz[12].zpos = -8000.5f;
    names(checkframe(frame), "cloud 12");
    SetUp();
    cloudz[12].zpos = -8000.0f; // exactly on the bound is allowed
    driftclouds();
    cloudz[12].zpos = -8000.0f;
    cloud_verts[48].z = cloud_verts[49].z = -8000.0f;
    cloud_verts[50].z = cloud_verts[51].z = (float)(-8000.0 + cloudz[12].hpos);
    EXPECT_EQ(checkframe(frame), nullptr);
    SetUp();
    floor_verts[4 * 9 + 2].z += 1.0f;
    names(checkframe(frame), "ground tile 9: its quad");
    SetUp();
    floor_verts[4 * 9 + 1].x += 1.0f; // x never moves
    names(checkframe(frame), "ground tile 9: its quad");
    SetUp();
    floorz[2].speed = 0.0f;
    names(checkframe(frame), "ground tile 2: a field the drift never writes");
}

TEST_F(Checker, ScalarsOutOfRangeAreCaught) {
    rpos = 6000;
    names(checkframe(frame), "rpos 6000");
    SetUp();
    rstep = 0;
    names(checkframe(frame), "rstep 0");
    SetUp();
    whichcam = 2;
    names(checkframe(frame), "whichcam 2");
    SetUp();
    colstepz += 1; // no longer ten passes a frame
    names(checkframe(frame), "colstepz");
    SetUp();
    ccb1 = ccb1 % 30 + 1; // never redrawn
    names(checkframe(frame), "ccb1 changed");
    SetUp();
    mmover = 401.0f;
    names(checkframe(frame), "mmover");
}

TEST_F(Checker, CameraCountersAndPointsAreCaught) {
    // 30 frames in, only the roaming camera has run.
    mycamz[0].camcounter = mycamz[0].camtime + 1;
    names(checkframe(frame), "camcounter");
    SetUp();
    mycamz[0].xcam = mycamz[0].xcampos + mycamz[0].xcamoldpos + 5000.0f;
    names(checkframe(frame), "eye not between its waypoints");
    SetUp();
    mycamz[1].zlook = INFINITY;
    names(checkframe(frame), "camera 1: coordinate 17 is not finite");
    SetUp();
    // An inactive camera's counters are not bounded yet; once it runs they are.
    mycamz[1].lookcounter = 500;
    EXPECT_EQ(checkframe(frame), nullptr);
    whichcam = 1;
    mycamz[1].lookcounter = 500;
    names(checkframe(frame), "car camera: lookcounter 500");
}

TEST_F(Checker, RecolouredBuildingsMustBeATintOrAGrey) {
    const int swept = lastswept + 1;        // buildings in a sweep
    int b = (colstepz + swept - 1) % swept; // the last building this frame recoloured
    for (int k = 0; k < 8; k++)
        city_colors[8 * b + k] = {1.5f, 0.0f, 0.0f};
    names(checkframe(frame), "neither a tint nor a grey");
    SetUp();
    b = (colstepz + swept - 3) % swept;
    city_colors[8 * b + 4].y += 0.001f;
    names(checkframe(frame), "its eight colours differ");
}

TEST_F(Checker, NeverRewrittenArraysAreComparedWithTheirSnapshot) {
    city_indexes[5] = 4;
    names(checkuntouched(), "city_indexes entry 5");
    SetUp();
    city_verts[100].y += 1.0f;
    names(checkuntouched(), "city_verts entry 100");
    SetUp();
    car_colors[8].x = 0.5f;
    names(checkuntouched(), "car_colors entry 8");
    SetUp();
    radoz[7] = (radoz[7] + 1) % 3;
    names(checkuntouched(), "radoz entry 7");
    SetUp();
    city_colors[8 * (lastswept + 1)] = {0.2f, 0.2f, 0.2f};
    names(checkuntouched(), ("building " + std::to_string(lastswept + 1)).c_str());
    SetUp();
    cloud_verts[ncloudverts].y = 1.0f;
    names(checkuntouched(), "spare last entry");
    SetUp();
    city_colors[8 * 500 + 1].z = -0.25f;
    names(checkuntouched(), "city_colors entry 4001");
}

TEST(CheckerStart, AWrittenSpareEntryIsCaught) {
    resetscene();
    buildworld(11);
    floor_colors[2400].x = 0.5f;
    const char *why = checkstart();
    ASSERT_NE(why, nullptr);
    EXPECT_NE(std::string(why).find("spare"), std::string::npos) << why;
}

// The whole tool: long checked runs pass, presses included, across sweep ends.
TEST(ReplayCheck, LongRunsKeepEveryInvariant) {
    for (const char *seed : {"1", "4000000000"}) {
        result r = replay({"--seed", seed, "--frames", "2500", "--check", "--press", "700:up",
                           "--press", "1500:down"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("2500 frames checked"), std::string::npos) << r.err;
    }
}
