// storm_test.cpp -- thousands of random keys, motions and clicks: no crash, no camera change
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include <cstdio>
#include <ctime>
#include <random>
#include <set>

// Every key but Escape, Up and Down. Alt is left out so no combination can reach a server
// action (Ctrl+Alt+BackSpace ends some X servers); the keypad arrows are in, since only the
// main arrow keys may pick a camera.
static const char *const stormkeys[] = {"a",
                                        "b",
                                        "c",
                                        "d",
                                        "e",
                                        "f",
                                        "g",
                                        "h",
                                        "i",
                                        "j",
                                        "k",
                                        "l",
                                        "m",
                                        "n",
                                        "o",
                                        "p",
                                        "q",
                                        "r",
                                        "s",
                                        "t",
                                        "u",
                                        "v",
                                        "w",
                                        "x",
                                        "y",
                                        "z",
                                        "0",
                                        "1",
                                        "2",
                                        "3",
                                        "4",
                                        "5",
                                        "6",
                                        "7",
                                        "8",
                                        "9",
                                        "space",
                                        "Return",
                                        "Tab",
                                        "Left",
                                        "Right",
                                        "Page_Up",
                                        "Page_Down",
                                        "Home",
                                        "End",
                                        "Insert",
                                        "Delete",
                                        "F1",
                                        "F2",
                                        "F3",
                                        "F4",
                                        "F5",
                                        "F6",
                                        "F7",
                                        "F8",
                                        "F9",
                                        "F10",
                                        "F11",
                                        "F12",
                                        "Shift_L",
                                        "Shift_R",
                                        "Control_L",
                                        "Control_R",
                                        "Super_L",
                                        "KP_Up",
                                        "KP_Down",
                                        "KP_8",
                                        "KP_2",
                                        "KP_Enter",
                                        "minus",
                                        "equal",
                                        "bracketleft",
                                        "bracketright",
                                        "semicolon",
                                        "comma",
                                        "period",
                                        "slash",
                                        "Pause",
                                        "Menu"};
constexpr int nstormkeys = sizeof stormkeys / sizeof stormkeys[0];

struct storm {
    std::mt19937 rng;
    std::set<int> keysdown, buttonsdown;
    int events = 0;
};

// One random event: a key or a button goes down or up, or the pointer moves.
static void stormevent(Display *d, storm &s) {
    int what = (int)(s.rng() % 10);
    if (what < 5) {
        int k = (int)(s.rng() % nstormkeys);
        bool down = !s.keysdown.count(k);
        xkey(d, stormkeys[k], down);
        down ? (void)s.keysdown.insert(k) : (void)s.keysdown.erase(k);
    } else if (what < 8) {
        xmotion(d, (int)(s.rng() % 1024), (int)(s.rng() % 768));
    } else {
        int b = 1 + (int)(s.rng() % 5);
        bool down = !s.buttonsdown.count(b);
        xbutton(d, b, down);
        down ? (void)s.buttonsdown.insert(b) : (void)s.buttonsdown.erase(b);
    }
    s.events++;
}

static void releaseall(Display *d, storm &s) {
    for (int k : s.keysdown)
        xkey(d, stormkeys[k], false);
    for (int b : s.buttonsdown)
        xbutton(d, b, false);
    s.keysdown.clear();
    s.buttonsdown.clear();
}

TEST(Storm, RandomInputNeitherBreaksTheDemoNorSwitchesTheCamera) {
    unsigned seed = (unsigned)time(nullptr);
    printf("storm seed %u\n", seed);
    RecordProperty("seed", (int)seed);
    storm s{std::mt19937(seed), {}, {}, 0};
    for (int k = 0; k < nstormkeys; k++)
        ASSERT_NE(XStringToKeysym(stormkeys[k]), (KeySym)NoSymbol) << stormkeys[k];
    // The world has the storm's seed too, so the replay can draw what the demo should show.
    std::string world = std::to_string(seed);
    STEPPED(x, g, world.c_str(), true);

    // While the demo runs: bursts between frames.
    for (int burst = 0; burst < 60; burst++) {
        for (int i = 0; i < 50; i++)
            stormevent(x.d, s);
        nap(0.03);
    }
    releaseall(x.d, s);
    nap(0.5);
    ASSERT_FALSE(waitend(g, 0)) << "ended during the storm with status " << g.status << ": "
                                << errtext(g);
    long frame = stepnow(g);
    ASSERT_GT(frame, 0) << "did not stop when asked; gridcity said: " << errtext(g);
    ASSERT_NO_FATAL_FAILURE(sameasreplay(x, world.c_str(), (int)frame, {}, "storm-free"));

    // Standing: a burst is drained at once by the next frame.
    for (int round = 0; round < 5; round++) {
        for (int i = 0; i < 1000; i++)
            stormevent(x.d, s);
        releaseall(x.d, s);
        ASSERT_TRUE(step(x, g, 2)) << errtext(g);
        frame += 2;
    }
    ASSERT_NO_FATAL_FAILURE(sameasreplay(x, world.c_str(), (int)frame, {}, "storm-stepped"));
    EXPECT_GE(s.events, 8000);
    // Up still works after all that.
    ASSERT_TRUE(xtap(x.d, "Up"));
    ASSERT_TRUE(step(x, g)) << errtext(g);
    frame++;
    ASSERT_NO_FATAL_FAILURE(
        sameasreplay(x, world.c_str(), (int)frame, {std::to_string(frame) + ":up"}, "storm-up"));

    letgo(g);
    double t = now();
    ASSERT_TRUE(xtap(x.d, "Escape"));
    ASSERT_TRUE(waitend(g, 10)) << "still running 10 s after Escape";
    EXPECT_LT(now() - t, 5.0);
    EXPECT_EQ(g.status, 0) << errtext(g);
}
