// events_test.cpp -- the event handler: arrow keys pick the camera, Escape and quit end the run
// SPDX-License-Identifier: MIT
#include "app/app.h"
#include "helpers.h"
#include "scene/dump.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

SDL_Event keyup(SDLKey sym) {
    SDL_Event e = keydown(sym);
    e.type = e.key.type = SDL_KEYUP;
    e.key.state = SDL_RELEASED;
    return e;
}

SDL_Event plainevent(Uint8 type) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    return e;
}

class Events : public ::testing::Test {
  protected:
    void SetUp() override { resetscene(); }

    // Handles one event starting from a chosen camera; returns the handler's result.
    int handle(SDL_Event e, int cam) {
        whichcam = cam;
        return HandleEvent(&e);
    }
};

} // namespace

TEST_F(Events, EscapeKeyAsksToEndWithoutTouchingTheCamera) {
    for (int cam : {0, 1}) {
        EXPECT_EQ(handle(keydown(SDLK_ESCAPE), cam), 1);
        EXPECT_EQ(whichcam, cam);
    }
}

TEST_F(Events, QuitRequestAsksToEnd) {
    for (int cam : {0, 1}) {
        EXPECT_EQ(handle(plainevent(SDL_QUIT), cam), 1);
        EXPECT_EQ(whichcam, cam);
    }
}

TEST_F(Events, UpPicksTheCarCameraAndDownTheRoamingOneFromEitherCamera) {
    for (int cam : {0, 1}) {
        EXPECT_EQ(handle(keydown(SDLK_UP), cam), 0);
        EXPECT_EQ(whichcam, 1);
        EXPECT_EQ(handle(keydown(SDLK_DOWN), cam), 0);
        EXPECT_EQ(whichcam, 0);
    }
}

TEST_F(Events, RepeatedArrowKeyDownsSimplySetTheCameraAgain) {
    SDL_Event up = keydown(SDLK_UP);
    for (int k = 0; k < 5; k++) {
        EXPECT_EQ(HandleEvent(&up), 0);
        EXPECT_EQ(whichcam, 1);
    }
}

TEST_F(Events, PressKeyIsAKeyDownThroughTheHandler) {
    EXPECT_EQ(presskey(SDLK_UP), 0);
    EXPECT_EQ(whichcam, 1);
    EXPECT_EQ(presskey(SDLK_DOWN), 0);
    EXPECT_EQ(whichcam, 0);
    EXPECT_EQ(presskey(SDLK_ESCAPE), 1);
}

TEST_F(Events, OtherKeysAndKeyReleasesChangeNothing) {
    const SDLKey others[] = {SDLK_LEFT, SDLK_RIGHT, SDLK_SPACE, SDLK_RETURN, SDLK_q, SDLK_a};
    for (int cam : {0, 1}) {
        for (SDLKey k : others) {
            EXPECT_EQ(handle(keydown(k), cam), 0) << "key " << k;
            EXPECT_EQ(whichcam, cam);
        }
        // Releasing a key is not pressing it: no quit, no camera change.
        for (SDLKey k : {SDLK_ESCAPE, SDLK_UP, SDLK_DOWN}) {
            EXPECT_EQ(handle(keyup(k), cam), 0) << "release " << k;
            EXPECT_EQ(whichcam, cam);
        }
    }
}

TEST_F(Events, MouseAndWindowEventsChangeNothing) {
    const Uint8 types[] = {SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_ACTIVEEVENT,
                           SDL_VIDEORESIZE, SDL_VIDEOEXPOSE,     SDL_SYSWMEVENT,    SDL_USEREVENT};
    for (int cam : {0, 1})
        for (Uint8 t : types) {
            EXPECT_EQ(handle(plainevent(t), cam), 0) << "event type " << (int)t;
            EXPECT_EQ(whichcam, cam);
        }
    // Every button, the wheel (4 and 5) included, pressed and released anywhere.
    for (int cam : {0, 1})
        for (Uint8 b = 1; b <= 5; b++)
            for (Uint8 t : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
                SDL_Event e = plainevent(t);
                e.button.button = b;
                e.button.x = 1000;
                e.button.y = 700;
                EXPECT_EQ(handle(e, cam), 0) << "button " << (int)b;
                EXPECT_EQ(whichcam, cam) << "button " << (int)b;
            }
}

// The handler writes whichcam and nothing else of the scene.
TEST_F(Events, HandlerTouchesNoOtherSceneValue) {
    const int cam = whichcam;
    const uint64_t before = dumphash(); // every array and scalar, and the random state
    SDL_Event events[] = {keydown(SDLK_UP), keydown(SDLK_DOWN), keydown(SDLK_ESCAPE),
                          plainevent(SDL_QUIT), plainevent(SDL_MOUSEMOTION)};
    for (SDL_Event &e : events)
        HandleEvent(&e);
    whichcam = cam;
    EXPECT_EQ(dumphash(), before);
}

TEST(VideoDriver, DriversThatShowNothingCountAsNoDisplay) {
    EXPECT_TRUE(invisibledriver("offscreen"));
    EXPECT_TRUE(invisibledriver("dummy"));
    EXPECT_TRUE(invisibledriver(nullptr));
    EXPECT_FALSE(invisibledriver("x11"));
    EXPECT_FALSE(invisibledriver("wayland"));
    EXPECT_FALSE(invisibledriver("kmsdrm"));
    EXPECT_FALSE(invisibledriver("offscreen2")); // whole names only
}
