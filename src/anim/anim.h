// anim.h -- the per-frame animation: camera director, traffic, drift, colour cycling
// SPDX-License-Identifier: MIT
#pragma once

#include "../scene/exact.h" // GLfloat

void calcme();     // one step: director, cloud drift, traffic, ground drift
void changecolc(); // ten buildings recoloured; new tint and background at each sweep end

constexpr int colourpasses = 10;               // buildings changecolc recolours
constexpr int lastswept = 11998;               // the sweep never reaches the last building
constexpr int mincamtime = 50, camtimes = 260; // a roaming eye leg lasts 50 to 309 steps

// The sections of a step, in the order calcme runs them.
void director();    // programme clock, then the active camera only
void driftclouds(); // clouds toward -z, mirror wrap below -8000
void traffic();     // every car moves, wraps, turns at block ends, and is redrawn
void driftfloor();  // ground tiles, as the clouds

void programclock();
void roamcam();       // mycamz[0]
void carcam();        // mycamz[1], riding carz[0]
int Randooz();        // the next turn outcome from the turn-table walk
void movecar(int i);  // move, wrap, block end, turn
void placecar(int i); // rewrite the x and z of the car's eight vertices
// The lane offset a block end gives a car of that speed turning from heading `from` with turn
// outcome chancer (0 to 2).
double laneoffset(int from, int chancer, GLfloat speed);

// The cycler sets the background here at each sweep end. The renderer points it at
// glClearColor; the animation library itself never touches GL.
extern void (*clearcolour)(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
