// bare.cpp -- the demo's frames with no animation: only the GL calls, the wait and the swap
//
// The yardstick for bench/fps.sh. It opens the demo's mode and builds the same world, then
// draws frame after frame exactly as drawGLScene does, but runs no calcme or changecolc in
// the loop. So that it draws the views the demo draws (the cost of a frame depends on what
// the camera sees), it first runs the animation for as many steps as it will draw and keeps
// the camera of each step; the loop then only puts the kept eye and look-at point into the
// roaming camera. The cars, clouds and colours stay where that run left them.
#include "anim/anim.h"
#include "render/render.h"
#include "scene/scene.h"
#include "world/world.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib> // atoi, exit

constexpr int maxpath = 20000;

struct view {
    GLfloat xcam, ycam, zcam, xlook, ylook, zlook;
};
static view path[maxpath];

static void fail(const char *what) {
    fprintf(stderr, "%s: %s\n", what, SDL_GetError());
    SDL_Quit();
    exit(1);
}

int main(int argc, char *argv[]) {
    int npath = argc > 1 ? atoi(argv[1]) : 1000; // frames of the demo's camera path to keep
    if (npath < 1 || npath > maxpath) {
        fprintf(stderr, "usage: gridcity_bare [frames 1..%d]\n", maxpath);
        return 2;
    }

    // The demo's start-up, call for call.
    if (SDL_Init(SDL_INIT_VIDEO) < 0) fail("Video initialization failed");
    const SDL_VideoInfo *info = SDL_GetVideoInfo();
    if (!info) fail("Video query failed");
    Uint32 flags = SDL_FULLSCREEN | SDL_HWPALETTE | SDL_OPENGL | SDL_HWSURFACE | SDL_ASYNCBLIT;
    if (info->blit_hw) flags |= SDL_HWACCEL;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(1024, 768, 16, flags)) fail("Video mode set failed");
    if (SDL_EnableKeyRepeat(100, 30) != 0) fail("Setting keyboard repeat failed");
    initGL();
    initme(); // seeded from the clock, as the demo; bench/fps.sh fixes the clock for both
    SDL_ShowCursor(SDL_DISABLE);

    // The demo's camera, step by step; path[f] is the view of the demo's frame f.
    for (int f = 0; f < npath; f++) {
        calcme();
        changecolc();
        const mycam &c = mycamz[whichcam];
        path[f] = {c.xcam, c.ycam, c.zcam, c.xlook, c.ylook, c.zlook};
    }
    whichcam = 0;

    int done = 0;
    SDL_Event event;
    for (int f = 0;; f = (f + 1) % npath) {
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT ||
                (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE))
                done = 1;
        mycam &c = mycamz[0];
        c.xcam = path[f].xcam, c.ycam = path[f].ycam, c.zcam = path[f].zcam;
        c.xlook = path[f].xlook, c.ylook = path[f].ylook, c.zlook = path[f].zlook;
        drawGLScene();
        if (done) break;
    }
    SDL_Quit();
    return 0;
}
