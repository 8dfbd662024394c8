// still.cpp -- one frame drawn offscreen by the demo's own renderer, saved as a PNG
// SPDX-License-Identifier: MIT
#include "replay.h"

#include "app/heap.h"
#include "pngio.h"
#include "render/render.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cerrno>
#include <cstdlib> // setenv
#include <vector>

static int vieww, viewh;                  // the surface's size
static std::vector<unsigned char> pixels; // the still as GL reads it: bottom row first
static bool sdlup = false;

bool openstill(int w, int h, char *err, int errlen) {
    keepheap();
    // SDL's offscreen driver renders through EGL with no display or X server.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        return fail(err, errlen, "offscreen video initialization failed: %s", SDL_GetError());
    sdlup = true;
    // Eight bits a channel, so the stored picture is what the colours say; depth as the demo.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(w, h, 32, SDL_OPENGL))
        return fail(err, errlen, "offscreen OpenGL surface of %dx%d failed: %s", w, h,
                    SDL_GetError());
    initGL();
    setview(w, h); // at the picture's own size the same as initGL's
    vieww = w;
    viewh = h;
    return true;
}

void closestill() {
    if (sdlup) SDL_Quit();
    sdlup = false;
}

static void drawframe() {
    drawscene();
    glFinish();
}

static bool readframe(unsigned char *rgb, char *err, int errlen) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, vieww, viewh, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    GLenum e = glGetError();
    if (e != GL_NO_ERROR) return fail(err, errlen, "drawing the frame failed: GL error 0x%x", e);
    return true;
}

bool writestill(outfile &o, char *err, int errlen) {
    drawframe();
    pixels.resize((size_t)vieww * viewh * 3);
    if (!readframe(pixels.data(), err, errlen)) return false;
    if (writepng(o.f, vieww, viewh, pixels.data(), true)) return true;
    if (!errno) return fail(err, errlen, "encoding the PNG failed");
    outerror(o, err, errlen);
    return false;
}

bool recordframe(clipstats &st, char *err, int errlen) {
    unsigned char *slot = nextslot(st, err, errlen);
    if (!slot) return false;
    double t0 = now();
    drawframe();
    double t1 = now();
    if (!readframe(slot, err, errlen)) return false;
    st.drawing += t1 - t0;
    st.reading += now() - t1;
    queueslot(st);
    return true;
}
