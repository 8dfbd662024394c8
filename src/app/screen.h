// screen.h -- the full-screen window covers the screen even where no window manager makes it so
// SPDX-License-Identifier: MIT
#pragma once

// Call before SDL_Init. Where no window manager (or one without full-screen support) runs on
// the X display, a small watcher process sizes the demo's window to its monitor once it is
// mapped, so the SDL layer's scaled picture is whole, 4:3 and centred. Does nothing on other
// displays, when the window is someone else's (SDL_WINDOWID) or when the layer does not scale.
void fitscreen();
