// web.h -- the browser page's WebGL renderer
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

// ---- renderer ----
// A WebGL context on the page's canvas and the fixed state, before the world is built.
// Null when it worked, else why not in a line.
const char *initdraw();
void loadscene(); // every buffer filled from the built world, the index arrays made once
// After the browser gave a lost context back: the program, the state and every buffer made again
// from the store as it stands. Null when it worked, else why not in a line.
const char *restoredraw();
// True while the context was lost before initdraw could set it up: nothing is drawn until
// restoredraw.
bool drawwaits();
// The frame through the active camera. Uploads the cars' and the drifting quads' vertices, and
// the colours of the n buildings recoloured from building first on since the last draw.
void drawframe(int first, int n);
