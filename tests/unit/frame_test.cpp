// frame_test.cpp -- whole frames: the order of a frame's draws, and long runs
// SPDX-License-Identifier: MIT
#include "anim/anim.h"
#include "app/app.h"
#include "helpers.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

class Frame : public ::testing::Test {
  protected:
    void SetUp() override { resetscene(); }
};

void frame() {
    calcme();
    changecolc();
}

} // namespace

// One frame's draws, in order: the director (programme, then the active camera's legs), the
// walk restarts of the traffic, then the colour cycler with a sweep end.
TEST_F(Frame, DrawsComeFromDirectorThenWalkRestartsThenCycler) {
    gencams();
    seedrandom(1999);
    fxcounter = 2000;
    for (int k = 0; k < nturns; k++)
        radoz[k] = k % 3;
    rpos = 5999, rstep = 1; // the first block end restarts the walk, the second does not
    for (int i : {5, 7}) {
        carz[i].speed = 2.0f, carz[i].blockm = 399.0f, carz[i].wpos = carz[i].dpos = 4.0f;
    }
    colstepz = lastswept - 8;
    ccr1 = 5, ccg1 = 6, ccb1 = 7;

    std::vector<int> t = peek(100);
    frame();
    tapereader r{t};

    int f = r.next() % 2;
    int start = r.next();
    EXPECT_EQ(whichcam, f);
    EXPECT_EQ(fxcounter, f == 0 ? 1200 + start % 800 : 1700 + start % 300);
    if (f == 0) {
        EXPECT_EQ(mycamz[0].xcampos, f32((r.mod(76000) - 22000.0) / 7.0));
        EXPECT_EQ(mycamz[0].camtime, mincamtime + r.next() % camtimes);
        EXPECT_EQ(mycamz[0].xlookpos, f32((r.mod(22000) - 12000.0) * 0.125));
    } else {
        EXPECT_EQ(mycamz[1].xlookpos, f32((r.mod(2000) - 1000.0) / 10.0 + 587.0));
        EXPECT_EQ(mycamz[1].ylookpos, f32(r.mod(2000) / 10.0 + 1.0));
        EXPECT_EQ(mycamz[1].zlookpos, f32((r.mod(2000) - 1000.0) / 10.0));
    }

    int step = r.next() % 5 + 1, pos = r.next() % 5;
    EXPECT_EQ(rstep, step);
    EXPECT_EQ(rpos, pos + step);
    const int straightright[3] = {0, 1, 3}; // heading 0's row of the transition table
    EXPECT_EQ(carz[5].state, straightright[radoz[pos]]);
    EXPECT_EQ(carz[7].state, straightright[radoz[pos + step]]);

    auto pass = [&](int cr, int cg, int cb) {
        int e = r.next() % 3;
        double d = r.next() % 6 + 1;
        if (e == 2) {
            float g = f32((r.next() % 50 + 1) / 100.0);
            return Vertex3{g, g, g};
        }
        return Vertex3{f32((cr / d + 1) / 100.0), f32((cg / d + 1) / 100.0),
                       f32((cb / d + 1) / 100.0)};
    };
    for (int k = lastswept - 8; k <= lastswept; k++) {
        Vertex3 want = pass(5, 6, 7);
        EXPECT_EQ(city_colors[8 * k].x, want.x) << k;
        EXPECT_EQ(city_colors[8 * k].z, want.z) << k;
    }
    int nr1 = r.next() % 30 + 1;
    r.next();
    int ng1 = r.next() % 30 + 1;
    EXPECT_EQ(ccg2, r.next() % 60 + 1);
    EXPECT_EQ(ccr1, nr1);
    EXPECT_EQ(ccg1, ng1);
    Vertex3 want = pass(nr1, ng1, 7);
    EXPECT_EQ(city_colors[0].x, want.x);
    EXPECT_EQ(city_colors[0].y, want.y);
    EXPECT_EQ(colstepz, 1);
    EXPECT_EQ(randomdraws, r.at);
}

TEST_F(Frame, SameSeedAndPressesGiveTheSameStore) {
    SDL_Event up = keydown(SDLK_UP);
    std::vector<unsigned char> first;
    for (int run = 0; run < 2; run++) {
        resetscene();
        buildworld(555);
        for (int n = 1; n <= 300; n++) {
            if (n == 100) HandleEvent(&up);
            frame();
        }
        std::vector<unsigned char> now;
        auto add = [&](const void *p, size_t n) {
            now.insert(now.end(), (const unsigned char *)p, (const unsigned char *)p + n);
        };
        add(carz, sizeof carz), add(car_verts, sizeof car_verts);
        add(city_colors, sizeof city_colors), add(cloud_verts, sizeof cloud_verts);
        add(floor_verts, sizeof floor_verts), add(mycamz, sizeof mycamz);
        int scalars[] = {whichcam, fxcounter, camcc1, camcc2, rpos, rstep, colstepz, ccr1, ccg2};
        add(scalars, sizeof scalars);
        add(&randomstate, sizeof randomstate);
        if (run == 0)
            first = now;
        else
            EXPECT_TRUE(now == first);
    }
}

// Many frames of a generated world: every value stays finite and within its range.
TEST_F(Frame, LongRunStaysFiniteAndInRange) {
    buildworld(1234);
    std::vector<float> heights(ncarverts);
    for (int k = 0; k < ncarverts; k++)
        heights[k] = car_verts[k].y;
    SDL_Event up = keydown(SDLK_UP), down = keydown(SDLK_DOWN);
    int seen[2] = {0, 0};
    for (int n = 1; n <= 12000; n++) { // ten sweeps, a dozen programmes or more
        if (n == 3000) HandleEvent(&up);
        if (n == 9000) HandleEvent(&down);
        frame();
        seen[whichcam]++;
    }
    EXPECT_GT(seen[0], 1000);
    EXPECT_GT(seen[1], 1000);

    for (int i = 0; i < ncars; i++) {
        const car &c = carz[i];
        ASSERT_TRUE(c.state >= 0 && c.state <= 3) << "car " << i;
        ASSERT_TRUE(c.blockm >= 0.0f && c.blockm <= 400.0f) << "car " << i;
        ASSERT_TRUE(std::fabs(c.xpos) <= 6000.0f && std::fabs(c.zpos) <= 6000.0f) << i;
        float o = c.offzet;
        ASSERT_TRUE(o == 0.0f || o == f32(20.0 - c.speed) || o == f32(c.speed - 20.0) ||
                    o == f32(-20.0 - c.speed))
            << "car " << i << " offzet " << o;
    }
    for (int k = 0; k < ncarverts; k++) {
        const Vertex3 &v = car_verts[k];
        ASSERT_TRUE(std::fabs(v.x) <= 6050.0f && std::fabs(v.z) <= 6050.0f) << "vertex " << k;
        ASSERT_EQ(v.y, heights[k]) << "vertex " << k;
    }
    for (int i = 0; i < nclouds; i++)
        ASSERT_TRUE(cloudz[i].zpos >= -8000.0f && cloudz[i].zpos <= 8010.0f) << "cloud " << i;
    for (int i = 0; i < ntiles; i++)
        ASSERT_TRUE(floorz[i].zpos >= -8000.0f && floorz[i].zpos <= 15000.0f) << "tile " << i;
    for (int k = 0; k < ncityverts; k++) {
        const Vertex3 &v = city_colors[k];
        ASSERT_TRUE(v.x >= 0.0f && v.x <= 0.5f && v.y >= 0.0f && v.y <= 0.5f && v.z >= 0.0f &&
                    v.z <= 0.5f)
            << "colour " << k;
    }
    for (const mycam &m : mycamz) {
        const float all[] = {m.xcampos,    m.ycampos,  m.zcampos,     m.xcamoldpos,  m.ycamoldpos,
                             m.zcamoldpos, m.xcam,     m.ycam,        m.zcam,        m.xlookpos,
                             m.ylookpos,   m.zlookpos, m.xlookoldpos, m.ylookoldpos, m.zlookoldpos,
                             m.xlook,      m.ylook,    m.zlook};
        for (float v : all)
            ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 6100.0f) << v;
    }
    const mycam &roam = mycamz[0];
    EXPECT_TRUE(roam.camtime >= mincamtime && roam.camtime < mincamtime + camtimes);
    EXPECT_TRUE(roam.camcounter >= 0 && roam.camcounter <= roam.camtime);
    EXPECT_TRUE(roam.lookcounter >= 0 && roam.lookcounter <= roamlooktime);
    EXPECT_TRUE(mycamz[1].lookcounter >= 0 && mycamz[1].lookcounter <= carlooktime);
    EXPECT_TRUE(whichcam == 0 || whichcam == 1);
    EXPECT_TRUE(fxcounter >= 1200 && fxcounter <= 2000);
    EXPECT_TRUE(camcc1 >= 0 && camcc1 <= 2 && camcc2 >= 0 && camcc2 <= 2);
    EXPECT_TRUE(rpos >= 0 && rpos <= 5999 && rstep >= 1 && rstep <= 5);
    EXPECT_TRUE(colstepz >= 0 && colstepz <= lastswept);
    EXPECT_TRUE(ccg2 >= 1 && ccg2 <= 60);
}
