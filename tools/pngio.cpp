// pngio.cpp -- 8-bit RGB PNG files through libpng
// SPDX-License-Identifier: MIT
#include "pngio.h"

#include <png.h>

#include <cerrno>
#include <cstring>

// libpng reports errors by longjmp; the handler must not leave locals it needs afterwards.
// Its own handlers would print; the callers say what failed in one line of their own.
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

bool writepng(FILE *f, int w, int h, const unsigned char *rgb, bool bottomup) {
    writeerr = 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngfail, pngwarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_set_write_fn(png, f, pngwrite, nullptr); // the caller flushes and closes
        png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, 6);
        png_write_info(png, info);
        for (int y = 0; y < h; y++)
            png_write_row(png, rgb + (size_t)(bottomup ? h - 1 - y : y) * w * 3);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    errno = ok ? 0 : writeerr;
    return ok;
}

bool readpng(const char *path, int &w, int &h, std::vector<unsigned char> &rgb) {
    png_image im;
    memset(&im, 0, sizeof im);
    im.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&im, path)) return false;
    im.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(im));
    if (!png_image_finish_read(&im, nullptr, rgb.data(), 0, nullptr)) return false;
    w = (int)im.width;
    h = (int)im.height;
    return true;
}
