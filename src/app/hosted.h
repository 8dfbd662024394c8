// hosted.h -- a window someone else made (SDL_WINDOWID): its loss ends the demo with one line
// SPDX-License-Identifier: MIT
#pragma once

// Call before SDL_Init. When SDL_WINDOWID names the window to draw in, an X error ends the demo
// with status 1 and one line on standard error: the window went away, or the error itself,
// rather than Xlib's block of request details. Does nothing otherwise.
void watchhost();

// Call after SDL_Init: a window that goes away after a SIGTERM ends the demo quietly with
// status 0, as the stop the host asked for.
void watchstop();
