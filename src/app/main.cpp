// main.cpp -- gridcity's entry: video set-up, the frame loop, shutdown
#include "app.h"
#include "screen.h"

#include "../anim/anim.h"
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

int main(int argc, char *argv[]) {
    (void)argc;
    (void)argv;

    // --- set up: video, GL state, world ---
    fitscreen();
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

    surface = SDL_SetVideoMode(1024, 768, 16, videoFlags);
    if (!surface) fail("Video mode set failed: %s\n", SDL_GetError());

    if (SDL_EnableKeyRepeat(100, 30) != 0)
        fail("Setting keyboard repeat failed: %s\n", SDL_GetError());

    initGL();
    initme();
    SDL_ShowCursor(SDL_DISABLE);

    // --- frame loop: events, animation, drawing; the frame that takes a quit is still drawn ---
    int done = 0;
    SDL_Event event;
    while (!done) {
        while (SDL_PollEvent(&event))
            if (HandleEvent(&event) == 1) done = 1;
        calcme();
        changecolc();
        drawGLScene();
    }

    // --- shutdown ---
    Quit(0);
}
