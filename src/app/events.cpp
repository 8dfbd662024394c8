// events.cpp -- the event handler: key-downs to the key logic, quit ends the run
// SPDX-License-Identifier: MIT
#include "app.h"
#include "keys.h"

#include <cstring> // strcmp, for the driver names

static_assert(SDLK_ESCAPE == esckey && SDLK_UP == upkey && SDLK_DOWN == downkey);

int HandleEvent(SDL_Event *event) {
    switch (event->type) {
    case SDL_KEYDOWN: return presskey(event->key.keysym.sym);
    case SDL_QUIT: return 1;
    default: return 0;
    }
}

bool invisibledriver(const char *name) {
    return name == nullptr || std::strcmp(name, "offscreen") == 0 ||
           std::strcmp(name, "dummy") == 0;
}
