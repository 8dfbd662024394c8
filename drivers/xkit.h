// xkit.h -- driving an X display from outside: XTEST input, screen grabs, PNG files, close requests
// SPDX-License-Identifier: MIT
#pragma once

#include <X11/Xlib.h>

#include <ctime>
#include <vector>

struct xpicture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb; // w * h pixels, 3 bytes each, rows top to bottom
};

bool xtestready(Display *d);                        // the XTEST extension is there
bool xkey(Display *d, const char *name, bool down); // a key by keysym name ("Up", "Escape")
bool xtap(Display *d, const char *name);            // press and release
void xmotion(Display *d, int x, int y);             // pointer to (x, y) on screen 0
void xbutton(Display *d, int button, bool down);    // 1 left .. 3 right, 4 and 5 the wheel
bool xgrab(Display *d, xpicture &p);                // the whole of screen 0, as drawn now
bool xsavepng(const char *path, const xpicture &p);
bool uniform(const xpicture &p);   // every pixel the same colour
Window xappwindow(Display *d);     // the top-level window that takes close requests (in a window
                                   // manager's frame or not), or 0
bool xclose(Display *d, Window w); // what a window manager sends when its close button is hit

// Seconds on a monotonic clock; inline, so the preloaded shim has it without linking this kit.
inline double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}
