// events.cpp -- the event handler: arrow keys pick the camera, Escape and quit end the run
#include "app.h"

#include "../scene/scene.h"

#include <cstring> // strcmp, for the driver names

int HandleEvent(SDL_Event *event) {
    switch (event->type) {
    case SDL_KEYDOWN:
        switch (event->key.keysym.sym) {
        case SDLK_ESCAPE: return 1;
        case SDLK_UP: whichcam = 1; break;
        case SDLK_DOWN: whichcam = 0; break;
        default: break;
        }
        return 0;
    case SDL_QUIT: return 1;
    default: return 0;
    }
}

int presskey(int sym) {
    SDL_Event e = keydown(sym);
    return HandleEvent(&e);
}

bool invisibledriver(const char *name) {
    return name == nullptr || std::strcmp(name, "offscreen") == 0 ||
           std::strcmp(name, "dummy") == 0;
}
