// harness.h -- a private Xvfb, the real gridcity under it, and a teardown that always runs
// SPDX-License-Identifier: MIT
#pragma once

#include "xkit.h"

#include <string>
#include <sys/types.h>
#include <vector>

void nap(double secs);

// A child process in its own process group, killed with its group when the guard goes, and
// also when the test process itself dies (so a crashed or timed-out test leaves nothing behind).
struct child {
    pid_t pid = -1;
    int errfd = -1;  // its standard error, kept in memory
    int status = -1; // exit status once it has ended, 128 + signal when a signal ended it
    bool ended = false;
    ~child();
};

struct envset {
    const char *name;
    const char *value; // nullptr removes the variable
};

bool spawn(child &c, const std::vector<std::string> &argv, const std::vector<envset> &env);
bool waitend(child &c, double secs);     // true when it ended within secs; sets status
void stop(child &c);                     // kill the group now and reap it
bool waitstopped(child &c, double secs); // true once it has stopped itself (SIGSTOP) within secs
std::string errtext(const child &c);     // what it wrote to standard error so far

// Xvfb on a display number it picks itself (-displayfd), with an Xlib connection of our own.
struct xserver {
    child proc;
    std::string name;     // ":N"
    Display *d = nullptr; // closed before the server goes, or Xlib would end the test process
    ~xserver();
};

bool startx(xserver &x, const char *screen = nullptr); // WIDTHxHEIGHTxDEPTH; null: the picture's
// Any X server and its arguments (Xvfb with more screens, Xorg), on a display number of its own.
bool startserver(xserver &x, std::vector<std::string> argv);
// A program on the display, ended within secs with status 0.
bool runon(const xserver &x, const std::vector<std::string> &argv, double secs = 20);

// gridcity (the build's, or the program bin) on a display; extra environment changes go after
// DISPLAY.
bool startdemo(child &c, const xserver &x, const std::vector<envset> &env = {});
bool startprogram(child &c, const xserver &x, const char *bin, const std::vector<envset> &env = {});

// Freezing and thawing the demo between frames lets a test queue input and read a picture that
// stays put while it looks.
void freeze(child &c);
void thaw(child &c);

// Lets the demo run until the screen has changed n times, then freezes it and returns the
// picture it left. False when the screen did not change that often within secs.
bool runframes(child &c, xserver &x, int n, xpicture &last, double secs = 20);

// A window is mapped and the screen is not uniform; false at once if the demo has ended.
bool drawnwithin(xserver &x, child &c, double secs);

bool cursorhidden(Display *d); // the pointer shows as a fully transparent image

// For use inside a test: a private X server with the demo drawing on it; both go when the test
// ends, however it ends.
#define LAUNCH(x, g)                                                                               \
    xserver x;                                                                                     \
    ASSERT_TRUE(startx(x)) << "Xvfb did not start: " << errtext(x.proc);                           \
    child g;                                                                                       \
    ASSERT_TRUE(startdemo(g, x));                                                                  \
    ASSERT_TRUE(drawnwithin(x, g, 60)) << "nothing drawn (ended: " << g.ended << ", status "       \
                                       << g.status << "); gridcity said: " << errtext(g)
