// render.h -- all OpenGL state: the fixed set-up and the drawing of one frame
// SPDX-License-Identifier: MIT
#pragma once

int initGL();      // fixed state, once, before the world is built
int drawGLScene(); // drawscene, then the 6 ms wait and the swap
void drawscene();  // the GL calls of one frame, from the scene store's arrays
