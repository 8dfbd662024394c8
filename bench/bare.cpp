// bare.cpp -- the demo's frames with no animation: only the GL calls, the wait and the swap
// SPDX-License-Identifier: MIT
//
// The yardstick for bench/fps.sh. It starts as the demo does, then draws frame after frame with
// the plain calls (drawscene, the 6 ms wait, the swap: no flush before the wait, so the driver
// rasterises only from the swap on) and runs no calcme or changecolc in the loop. So that it draws
// the views the demo draws (the cost of a frame depends on what the camera sees), it first
// runs the animation for as many steps as it will draw and keeps the camera of each step; the
// loop then only puts the kept camera in the roaming one's place. The cars, clouds and colours
// stay where that run left them.
#include "anim/anim.h"
#include "app/app.h"
#include "render/render.h"
#include "scene/scene.h"

#include <cstdio>
#include <cstdlib> // atoi

constexpr int maxpath = 20000;

static mycam path[maxpath]; // only the eye and look-at point reach the drawing

int main(int argc, char *argv[]) {
    int npath = argc > 1 ? atoi(argv[1]) : 1000; // frames of the demo's camera path to keep
    if (npath < 1 || npath > maxpath) {
        fprintf(stderr, "usage: gridcity_bare [frames 1..%d]\n", maxpath);
        return 2;
    }

    startup(); // seeded from the clock, as the demo; bench/fps.sh fixes the clock for both

    // The demo's camera, step by step; path[f] is the view of the demo's frame f.
    for (int f = 0; f < npath; f++) {
        calcme();
        changecolc();
        path[f] = mycamz[whichcam];
    }
    whichcam = 0;

    int done = 0;
    SDL_Event event;
    for (int f = 0;; f = (f + 1) % npath) {
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT ||
                (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE))
                done = 1;
        mycamz[0] = path[f];
        drawscene();
        SDL_Delay(6);
        SDL_GL_SwapBuffers();
        if (done) break;
    }
    Quit(0);
}
