// shell.h -- the window shell: the SDL layer's window sized to its monitor where no window
// manager does so, or embedded in a host's window and kept at its size, from the demo's process
// SPDX-License-Identifier: MIT
#pragma once

// Call before SDL_Init: the SDL layer, told of every screen's monitors, would open its window on
// screen 0 whatever screen DISPLAY names; told only of the default screen's, it opens there.
void onescreen();

// Call before SDL_Init in the saver: from now on the host's loss ends the process (see embed),
// as does an X error while it cannot be drawn in, with one line rather than Xlib's block of
// request details.
void watchhost(unsigned long host);

// The calls below come after the video mode is set.

// The demo's and the saver's own full-screen window: where no window manager makes it full
// screen, it is sized to its monitor now and again whenever the monitors change.
void fitscreen();

// The saver's window goes into host (a window, or the root) at the host's size and follows it;
// clicks and keys go to the host, the input focus stays where it was. The host's loss ends the
// process: quietly with status 0 once stopping() is true, else with status 1 and one line.
void embed(unsigned long host);

// The size of the window drawn in, as the shell last saw it; it changes under the frame loop.
void windowsize(int &w, int &h);

// Set from a SIGTERM handler: the stop the host asked for is under way.
void stopasked();
bool stopping();
