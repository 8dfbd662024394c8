// app.h -- the application shell: start-up, event handling, shutdown, the invisible-driver guard
// SPDX-License-Identifier: MIT
#pragma once

#include "keys.h" // presskey, which HandleEvent hands key-downs to

#include <SDL.h>

// Video in the demo's mode, GL state, the world from the clock's seed; a failure says what
// failed on standard error and ends the process with status 1.
void startup();
int HandleEvent(SDL_Event *event); // 1 when the event asks the program to end
void Quit(int returnCode);         // SDL_Quit, then exit; never returns

// True when SDL's video driver shows nothing ("offscreen", "dummy"): a demo run there could
// never be seen or quit, so start-up treats it as no display.
bool invisibledriver(const char *name);

// A key-down event as SDL delivers a press, for the preloaded shim and the tests.
inline SDL_Event keydown(int sym) {
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = (decltype(e.key.keysym.sym))sym;
    return e;
}
