// start.cpp -- the demo's start-up and shutdown, shared with the benchmark's bare frames
// SPDX-License-Identifier: MIT
#include "app.h"
#include "heap.h"

#include "../render/render.h"
#include "../scene/scene.h"
#include "../world/world.h"

#include <cstdio>  // fprintf, for the start-up failures
#include <cstdlib> // exit

void Quit(int returnCode) {
    SDL_Quit();
    exit(returnCode);
}

static void fail(const char *what, const char *why) {
    fprintf(stderr, what, why);
    Quit(1);
}

void startup() {
    keepheap();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) fail("Video initialization failed: %s\n", SDL_GetError());

    const SDL_VideoInfo *videoInfo = SDL_GetVideoInfo();
    if (!videoInfo) fail("Video query failed: %s\n", SDL_GetError());

    Uint32 videoFlags = SDL_FULLSCREEN | SDL_HWPALETTE | SDL_OPENGL | SDL_HWSURFACE | SDL_ASYNCBLIT;
    if (videoInfo->blit_hw) videoFlags |= SDL_HWACCEL;

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    // With no display SDL falls back to a driver that draws nowhere; the demo would then run
    // unseen and could never be quit.
    char driver[32];
    if (invisibledriver(SDL_VideoDriverName(driver, sizeof driver)))
        fail("Video mode set failed: %s\n",
             "no display is available (SDL chose a video driver that shows nothing)");

    surface = SDL_SetVideoMode(picturew, pictureh, 16, videoFlags);
    if (!surface) fail("Video mode set failed: %s\n", SDL_GetError());

    if (SDL_EnableKeyRepeat(100, 30) != 0)
        fail("Setting keyboard repeat failed: %s\n", SDL_GetError());

    initGL();
    initme();
    SDL_ShowCursor(SDL_DISABLE);
}
