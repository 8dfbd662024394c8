// where.h -- the shell's decisions, with no display: which monitor holds a window, which screen a
// display name asks for, what a window id is
// SPDX-License-Identifier: MIT
#pragma once

#include <string>

struct rect {
    int x, y, w, h;
};
struct monitor {
    rect r;
    bool primary;
};

// The monitor that holds most of the window; with none holding any of it the primary one, else
// the first; the whole screen where none are listed.
rect monitorfor(const rect &window, const monitor *m, int n, const rect &screen);

// The screen a display name asks for: ":0" 0, ":0.1" 1, "host:3.2" 2; -1 for no display name.
int screenof(const char *display);
// The same display's name for another of its screens: (":0", 1) gives ":0.1".
std::string onscreen(const char *display, int screen);

// A window id as hosts write it: 0x hex, or decimal even with a leading zero (never octal);
// 0 for anything else, or a value beyond 32 bits.
unsigned long windowid(const char *s);
