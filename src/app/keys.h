// keys.h -- what a key press does to the demo, with no SDL headers: the core-only replay's
// presses come straight here, the demo's come through the SDL event handler
// SPDX-License-Identifier: MIT
#pragma once

// SDL 1.2's numbers for the keys the demo reads (SDLK_ESCAPE, SDLK_UP, SDLK_DOWN).
constexpr int esckey = 27, upkey = 273, downkey = 274;

int presskey(int sym); // a key-down of sym: up picks the car camera, down the roaming one;
                       // 1 when it asks the program to end
