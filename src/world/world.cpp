// world.cpp -- generation of every scene record from the random sequence
// SPDX-License-Identifier: MIT
#include "world.h"

#include "../scene/random.h"
#include "../scene/scene.h"

#include <ctime> // time(), for the seed

// The decimal constants added in the formulas are floats widened to double, as the
// original values were float literals.
static const double c04 = (double)0.4f;
static const double c01 = (double)0.1f;
static const double c12 = (double)1.2f;
static const double c02 = (double)0.2f;

double drawmod(int n) {
    return (double)(drawrandom() % n);
}

int drawtint() {
    return drawrandom() % 30 + 1;
}

// A building coordinate: a block draw, then an offset draw from the block centre.
static double buildingpos() {
    double k = drawmod(40);
    double o = drawmod(220);
    return (k - 20.0) * mmover + (o - 120.0) + mmover * 0.5;
}

static void genturns() {
    for (int i = 0; i < nturns; i++)
        radoz[i] = drawrandom() % 3;
}

static void genseeds() {
    ccr1 = drawtint();
    ccr2 = drawtint();
    ccg1 = drawtint();
    ccg2 = drawtint();
    ccb1 = drawtint();
    ccb2 = drawtint();
}

// Counters start above every duration, so each leg ends in the camera's first active step.
void gencams() {
    mycamz[0].ycampos = 800.0f;
    mycamz[0].camcounter = 2000;
    mycamz[0].lookcounter = 2000;
    mycamz[0].looktime = roamlooktime;
    mycamz[1].lookcounter = 2000;
    mycamz[1].looktime = carlooktime;
}

static void genclouds() {
    for (int i = 0; i < nclouds; i++) {
        cloud &c = cloudz[i];
        c.xpos = (GLfloat)((drawmod(6000) - 3000.0) * 2.0);
        c.ypos = (GLfloat)(drawmod(14000) / 60.0 * 10.0 + 30.0);
        c.zpos = (GLfloat)((drawmod(8000) - 4000.0) * 2.0);
        c.speed = (GLfloat)(drawmod(600) * 0.015625 + c04);
        c.wpos = (GLfloat)(drawmod(2600) / 3.0 + 152.5);
        c.hpos = (GLfloat)(drawmod(2600) / 3.0 + 152.5);
    }
}

static void genfloor() {
    for (int i = 0; i < ntiles; i++) {
        flooro &f = floorz[i];
        f.xpos = (GLfloat)((drawmod(8000) - 4000.0) * 2.0);
        f.ypos = 0.0f;
        f.zpos = (GLfloat)((drawmod(10000) - 5000.0) * 3.0);
        f.speed = (GLfloat)(drawmod(100) / 100.0 + c01);
        f.wpos = (GLfloat)(drawmod(3600) * 0.5 + 25.5);
        f.hpos = (GLfloat)(drawmod(3600) * 0.5 + 25.5);
        f.r = f.g = f.b = (GLfloat)(drawmod(25) / 100.0);
    }
}

static void gentowers() {
    for (int i = 0; i < ntowers; i++) {
        city &c = cityz[i];
        c.xpos = (GLfloat)buildingpos();
        c.ypos = 0.0f;
        c.zpos = (GLfloat)buildingpos();
        c.speed = 20.0f;
        c.wpos = (GLfloat)(drawmod(200) / 10.0 + 2.5);
        c.hpos = (GLfloat)(drawmod(19400) / 10.0 + 2.5);
        c.dpos = (GLfloat)(drawmod(200) / 10.0 + 2.5);
        bool red = drawrandom() % 2 == 1;
        GLfloat s = (GLfloat)(drawmod(15) / 100.0);
        c.r = s;
        c.g = c.b = red ? 0.02f : s;
    }
}

static void genbeams() {
    for (int i = ntowers; i < nbuildings; i++) {
        city &c = cityz[i];
        c.xpos = (GLfloat)buildingpos();
        c.ypos = (GLfloat)(drawmod(18000) / 200.0 * 10.0 + 30.0);
        c.zpos = (GLfloat)buildingpos();
        c.speed = 24.0f;
        if (drawrandom() % 2 == 1) { // along z
            c.wpos = (GLfloat)(drawmod(200) / 10.0 + 0.5);
            c.hpos = (GLfloat)(drawmod(200) / 10.0 + 0.5);
            c.dpos = (GLfloat)(drawmod(19200) / 10.0 + 20.5);
            c.r = c.g = c.b = (GLfloat)(drawmod(15) / 100.0);
        } else { // along x
            c.wpos = (GLfloat)(drawmod(19800) / 10.0 + 20.5);
            c.hpos = (GLfloat)(drawmod(200) / 10.0 + 0.5);
            c.dpos = (GLfloat)(drawmod(200) / 10.0 + 0.5);
            c.r = c.g = c.b = (GLfloat)(drawmod(25) / 100.0);
        }
    }
}

// Every car starts at the origin heading -z; the first is the fast dark one the car camera rides.
static void gencars() {
    for (int i = 0; i < ncars; i++) {
        car &c = carz[i];
        c.xpos = c.ypos = c.zpos = 0.0f;
        c.speed = (GLfloat)(drawmod(4000) / 400.0 + c12);
        c.wpos = 4.0f;
        c.hpos = (GLfloat)(drawmod(1600) / 120.0 + 4.5);
        c.dpos = 4.0f;
        c.r = c.g = c.b = (GLfloat)(drawmod(80) / 100.0 + c02);
        c.offzet = 0.0f;
        c.blockm = 0.0f;
        c.state = 0;
    }
    carz[0].speed = 16.2f;
    carz[0].r = carz[0].g = carz[0].b = 0.1f;
}

void genworld() {
    genturns();
    genseeds();
    gencams();
    genclouds();
    genfloor();
    gentowers();
    genbeams();
    gencars();
}

void buildworld(uint32_t seed) {
    seedrandom(seed);
    genworld();
    buildmesh();
}

void initme() {
    buildworld((uint32_t)time(nullptr));
}
