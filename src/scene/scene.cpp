// scene.cpp -- storage and start values of the scene store
// SPDX-License-Identifier: MIT
#include "scene.h"

#include <cstring> // memset, for resetscene

// Every array, zeroed, and every scalar at its start value: defined here from the store's list,
// and put back so by resetscene.
#define DEFINEARRAY(type, name, n, rewritten, what) type name[n];
SCENE_ARRAYS(DEFINEARRAY)
#define DEFINE(type, name, start, rewritten) type name = start;
SCENE_SCALARS(DEFINE)
SDL_Surface *surface = nullptr;

void resetscene() {
#define ZERO(type, name, n, rewritten, what) std::memset(name, 0, sizeof(name));
    SCENE_ARRAYS(ZERO)
#define RESET(type, name, start, rewritten) name = start;
    SCENE_SCALARS(RESET)
    surface = nullptr;
}
