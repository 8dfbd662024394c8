// render.h -- all OpenGL state: the fixed set-up and the drawing of one frame
// SPDX-License-Identifier: MIT
#pragma once

// The picture: its size, and the perspective the demo's renderer and the page's draw it with
// (vertical field of view in degrees, near and far planes).
constexpr int picturew = 1024, pictureh = 768;
constexpr double fovy = 101.0, farz = 150000.0;
constexpr float nearz = 0.1f;

int initGL();      // fixed state, once, before the world is built
int drawGLScene(); // drawscene, then the 6 ms wait and the swap
void drawscene();  // the GL calls of one frame, from the scene store's arrays
