// stills.h -- gridcity-replay's pictures of a seeded run, and the real demo moved on frame by frame
// to be compared with them pixel for pixel
// SPDX-License-Identifier: MIT
#pragma once

#include "harness.h"

#include <string>
#include <vector>

// The demo asks SDL for 16 bits a pixel, but on this Xvfb (1024x768x24) its GLX visual has 8 bits
// a channel, as the replay's offscreen surface does, and both draw with dithering off through the
// same llvmpipe. Measured: every pixel identical, so identity is what is asserted, not a
// tolerance. A neighbouring frame differs in tens of thousands of pixels (frame 30 against 31 of
// seed 7: 50395), so identity cannot hold by accident.

struct diff {
    long pixels = 0; // pixels with any channel different
    int most = 0;    // largest difference of one channel, 0 to 255
};

diff compare(const xpicture &a, const xpicture &b);

// Pictures that must not match differ clearly, not in a stray pixel.
constexpr long unlike = 1000;

// Where the SDL layer puts the 1024x768 picture in a w x h window: as large as fits, centred
// (a spare column goes to the right, a spare row to the top).
struct box {
    int x, y, w, h;
};
box letterbox(int w, int h);
bool inside(const box &b, int x, int y);
long litoutside(const xpicture &p, const box &b, int dx = 0, int dy = 0); // box moved by dx, dy

// The mean difference of a channel between the picture inside the box and the still stretched
// over it, 0 to 255.
double mismatch(const xpicture &shot, const xpicture &still, const box &b);

// gridcity-replay's still of seed s after n frames, with the presses given ("20:up", "24:down"),
// drawn at the view's size when one is given ("640x400"). Fails the test (fatally) when the
// replay cannot give one.
void replaystill(const char *seed, int n, const std::vector<std::string> &presses, xpicture &p,
                 const char *view = nullptr);

// The picture in the box is lit near each of its four edges: it fills the box.
bool litedges(const xpicture &p, const box &b);

// The box cut out of the picture.
xpicture cut(const xpicture &p, const box &b);

// Both pictures stay in the working directory for a look when they should match and do not.
bool identical(const xpicture &shot, const xpicture &still, const char *stem);

// The screen matches the replay's still of seed s after n frames with those presses; the
// screen goes to shot when one is given.
void sameasreplay(xserver &x, const char *seed, int n, const std::vector<std::string> &presses,
                  const char *stem, xpicture *shot = nullptr);

// The real demo under the preloaded shim, world seed s, stopping itself after every frame's swap.
// Input sent while it stands is drained by the next frame, as gridcity-replay's presses are.
// With free set it starts running free instead, until stepnow().
// The program (the demo, or the saver that runs it) with its arguments goes in argv.
void startstepping(xserver &x, child &g, const char *seed, bool free = false,
                   const std::vector<std::string> &argv = {GRIDCITY_BIN});

// n more frames, the input sent so far reaching the demo first. False when it ended or did not
// stop again within a minute.
bool step(xserver &x, child &g, int n = 1);

// A demo running free stops after its next swap and stays stepping; the frame it stopped on, or 0
// when it did not stop within a minute.
long stepnow(child &g);

// A stepping demo (seed 7, now on frame) is stepped until its window has m's size, then shows
// its whole picture 4:3 and centred in m, a box on the screen, and nothing lit anywhere else.
// With a host given, the demo's window is the one inside it.
void showswhole(xserver &x, child &g, int &frame, const box &m, const char *stem, Window host = 0);

// A stepping saver (seed 7, now on frame) in host, whose size has just been set to m's, shows
// two frames later the replay's still of that frame drawn at m's size, at m on the screen, and
// nothing lit anywhere else.
void fillswhole(xserver &x, child &g, int &frame, const box &m, const char *stem, Window host);

// Lets a stepping demo run free again, e.g. to see it quit.
void letgo(child &g);

// For use inside a test: a private X server and the demo stepping on it (running free with free
// set), world seed s; both go when the test ends.
#define STEPPED(x, g, s, free)                                                                     \
    xserver x;                                                                                     \
    ASSERT_TRUE(startx(x)) << "Xvfb did not start: " << errtext(x.proc);                           \
    child g;                                                                                       \
    ASSERT_NO_FATAL_FAILURE(startstepping(x, g, s, free))
