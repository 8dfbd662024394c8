// main.cpp -- gridcity's entry: start-up, the frame loop, shutdown
// SPDX-License-Identifier: MIT
#include "app.h"
#include "shell.h"

#include "../anim/anim.h"
#include "../render/render.h"

int main(int, char *[]) {
    onescreen();
    startup();
    fitscreen(); // the window the video mode made, sized before the first frame

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
