// random.cpp -- the shared random sequence
// SPDX-License-Identifier: MIT
#include "random.h"

uint32_t randomstate = 1;
uint64_t randomdraws = 0;

void seedrandom(uint32_t seed) {
    randomstate = seed;
    randomdraws = 0;
}

int drawrandom() {
    randomstate = randomstate * 1103515245u + 12345u;
    randomdraws++;
    return (int)((randomstate / 65536u) % 32768u);
}
