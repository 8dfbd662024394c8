// overlay.cpp -- a line of text in the picture's corner, in a font of the program's own
// SPDX-License-Identifier: MIT
#include "render.h"

#include <GL/gl.h>

// Three by five pixels a glyph, a row a byte from the top, its three low bits left to right.
struct glyph {
    char c;
    unsigned char rows[5];
};
static const glyph font[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 3, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'.', {0, 0, 0, 0, 2}}, {'/', {1, 1, 2, 4, 4}},
    {'e', {0, 7, 7, 4, 7}}, {'f', {3, 4, 7, 4, 4}}, {'p', {0, 7, 5, 7, 4}}, {'s', {0, 7, 6, 3, 7}},
    {'t', {2, 7, 2, 2, 3}},
};

static const unsigned char *rowsof(char c) {
    for (const glyph &g : font)
        if (g.c == c) return g.rows;
    return nullptr; // a space, or a character the font lacks: left blank
}

void drawtext(const char *text, int w, int h) {
    int px = h >= 720 ? h / 360 : 2; // a pixel of the font, in the window's pixels
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    int x0 = 2 * px, top = h - 2 * px;
    for (int i = 0; text[i]; i++) {
        const unsigned char *rows = rowsof(text[i]);
        for (int r = 0; rows && r < 5; r++)
            for (int b = 0; b < 3; b++) {
                if (!(rows[r] >> (2 - b) & 1)) continue;
                int x = x0 + (4 * i + b) * px, y = top - (r + 1) * px;
                glVertex2i(x, y);
                glVertex2i(x + px, y);
                glVertex2i(x + px, y + px);
                glVertex2i(x, y + px);
            }
    }
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
