// render.h -- all OpenGL state: the fixed set-up and the drawing of one frame
// SPDX-License-Identifier: MIT
#pragma once

// The picture: its size, and the perspective the demo's renderer and the page's draw it with
// (vertical field of view in degrees, near and far planes).
constexpr int picturew = 1024, pictureh = 768;
constexpr double fovy = 101.0, farz = 150000.0;
constexpr float nearz = 0.1f;

// The viewport w x h and the projection: the demo's vertical field of view and planes, the
// horizontal extent following w / h. Leaves GL_MODELVIEW current.
void setview(int w, int h);
int initGL();      // fixed state, once, before the world is built (the view at the picture's size)
int drawGLScene(); // drawscene, handed to the driver, then the 6 ms wait and the swap
void drawscene();  // the GL calls of one frame, from the scene store's arrays
// A line of text (digits, '.', '/', "fps", "steps") in the top left corner of a w x h view.
void drawtext(const char *text, int w, int h);
