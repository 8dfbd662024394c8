// random.h -- the one random sequence every draw of the demo comes from
// SPDX-License-Identifier: MIT
#pragma once

#include "exact.h" // so every core file refuses inexact maths

#include <cstdint>

// A 32-bit linear congruential generator with 15-bit draws, the same on every platform,
// so that a seed builds the same city everywhere.
extern uint32_t randomstate;
extern uint64_t randomdraws; // draws made since the last seeding

void seedrandom(uint32_t seed);
int drawrandom(); // 0 to 32767
