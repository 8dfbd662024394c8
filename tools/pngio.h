// pngio.h -- 8-bit RGB PNG files written and read, for the tools and the tests
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <vector>

// w x h pixels of 3 bytes each, rows top to bottom, or bottom to top as GL reads them back.
// False on failure, errno then holding a failed write's error, or 0 when libpng gave up.
bool writepng(FILE *f, int w, int h, const unsigned char *rgb, bool bottomup = false);
bool readpng(const char *path, int &w, int &h, std::vector<unsigned char> &rgb); // top row first
