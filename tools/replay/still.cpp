// still.cpp -- one frame drawn offscreen by the demo's own renderer, saved as a PNG
#include "replay.h"

#include "render/render.h"

#include <GL/gl.h>
#include <SDL.h>
#include <png.h>

#include <cerrno>
#include <cstdlib> // setenv

static unsigned char pixels[stillw * stillh * 3]; // as GL reads them: bottom row first
static bool sdlup = false;

bool openstill(char *err, int errlen) {
    // SDL's offscreen driver renders through EGL with no display or X server.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        snprintf(err, (size_t)errlen, "offscreen video initialization failed: %s", SDL_GetError());
        return false;
    }
    sdlup = true;
    // Eight bits a channel, so the stored picture is what the colours say; depth as the demo.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(stillw, stillh, 32, SDL_OPENGL)) {
        snprintf(err, (size_t)errlen, "offscreen OpenGL surface failed: %s", SDL_GetError());
        return false;
    }
    initGL();
    return true;
}

void closestill() {
    if (sdlup) SDL_Quit();
    sdlup = false;
}

static bool readback(char *err, int errlen) {
    drawscene();
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, stillw, stillh, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    GLenum e = glGetError();
    if (e != GL_NO_ERROR) {
        snprintf(err, (size_t)errlen, "drawing the still failed: GL error 0x%x", e);
        return false;
    }
    return true;
}

// libpng reports errors by longjmp; the handler must not leave locals it needs afterwards.
// Its own handlers would print; the tool says what failed in one line of its own.
static int writeerr; // errno of a failed write, 0 when the failure was not a write
static void pngfail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
static void pngwrite(png_structp png, png_bytep p, size_t n) {
    if (fwrite(p, 1, n, (FILE *)png_get_io_ptr(png)) == n) return;
    writeerr = errno;
    png_error(png, "write");
}
static void pngwarning(png_structp, png_const_charp) {}

static bool encode(FILE *f) {
    writeerr = 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngfail, pngwarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, f, pngwrite, nullptr); // closeout flushes
    png_set_IHDR(png, info, stillw, stillh, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    // GL's first row is the bottom one; PNG's is the top.
    for (int y = stillh - 1; y >= 0; y--)
        png_write_row(png, &pixels[y * stillw * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writestill(outfile &o, char *err, int errlen) {
    if (!readback(err, errlen)) return false;
    if (encode(o.f)) return true;
    if (writeerr) {
        errno = writeerr;
        outerror(o, err, errlen);
    } else {
        snprintf(err, (size_t)errlen, "encoding the PNG failed");
    }
    return false;
}
