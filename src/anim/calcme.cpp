// calcme.cpp -- one animation step, its sections in order
// SPDX-License-Identifier: MIT
#include "anim.h"

// The car camera runs before the traffic, so it shows the first car where the last step left it.
void calcme() {
    director();
    driftclouds();
    traffic();
    driftfloor();
}
