// pace.h -- the saver's clock: 60 steps a second of real time, whatever the display's rate
// SPDX-License-Identifier: MIT
#pragma once

constexpr double steptime = 1000.0 / 60; // ms of the clock a step stands for
constexpr int maxsteps = 4;              // steps one drawn frame may run at most

struct pace {
    double last = -1; // the clock at the last frame, ms; below 0 before the first
    double owed = 0;  // ms of the clock not yet stepped
};

// The steps a frame drawn at ms owes. The first frame runs one step, as the demo's first does;
// past maxsteps the time is dropped, so a slow machine sees the city slow down rather than jump
// and a process stopped for a while goes on where it stopped.
int due(pace &p, double ms);
