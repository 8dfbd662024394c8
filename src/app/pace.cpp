// pace.cpp -- the saver's clock
// SPDX-License-Identifier: MIT
#include "pace.h"

#include <cmath>

int due(pace &p, double ms) {
    if (p.last < 0 || ms < p.last) { // the first frame, or a clock that went back (wrapped)
        p.last = ms - steptime;
        p.owed = 0;
    }
    p.owed += ms - p.last;
    p.last = ms;
    // Rounded, not cut: a display at the city's own rate gets one step a frame despite jitter.
    int n = (int)std::floor(p.owed / steptime + 0.5);
    if (n < 0) n = 0;
    if (n > maxsteps) {
        n = maxsteps;
        p.owed = 0;
    } else {
        p.owed -= n * steptime;
    }
    return n;
}
