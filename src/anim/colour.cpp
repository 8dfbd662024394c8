// colour.cpp -- the colour cycler: ten buildings a frame, a new tint at each sweep end
// SPDX-License-Identifier: MIT
#include "anim.h"

#include "../scene/random.h"
#include "../scene/scene.h"
#include "../world/world.h" // drawtint

void (*clearcolour)(GLfloat r, GLfloat g, GLfloat b, GLfloat a) = nullptr;

static void endsweep() {
    colstepz = 0;
    ccr1 = drawtint();
    ccr2 = drawtint();
    ccg1 = drawtint();
    ccg2 = drawrandom() % 60 + 1;
    GLfloat c = (GLfloat)(ccg2 / 100.0);
    if (clearcolour) clearcolour(c, c, c, 0.0f);
}

// Two passes in three tint around the seeds (a smaller d is brighter); one in three is grey.
static void recolour() {
    int e = drawrandom() % 3;
    double d = drawrandom() % 6 + 1;
    double r, g, b;
    if (e == 2) {
        r = g = b = (drawrandom() % 50 + 1) / 100.0;
    } else {
        r = (ccr1 / d + 1) / 100.0;
        g = (ccg1 / d + 1) / 100.0;
        b = (ccb1 / d + 1) / 100.0;
    }
    Vertex3 col = {(GLfloat)r, (GLfloat)g, (GLfloat)b};
    for (int k = 0; k < 8; k++)
        city_colors[8 * colstepz + k] = col;
    colstepz++;
    if (colstepz > lastswept) endsweep();
}

void changecolc() {
    for (int p = 0; p < colourpasses; p++)
        recolour();
}
