// keys.cpp -- arrow keys pick the camera, Escape ends the run
// SPDX-License-Identifier: MIT
#include "keys.h"

#include "../scene/scene.h"

int presskey(int sym) {
    switch (sym) {
    case esckey: return 1;
    case upkey: whichcam = 1; break;
    case downkey: whichcam = 0; break;
    default: break;
    }
    return 0;
}
