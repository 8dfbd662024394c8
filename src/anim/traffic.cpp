// traffic.cpp -- cars driving the road grid, turning as the turn table says
// SPDX-License-Identifier: MIT
#include "anim.h"

#include "../scene/random.h"
#include "../scene/scene.h"

// A walk over the turn table with a stride that is redrawn whenever it runs off the end.
int Randooz() {
    rpos = rpos + rstep;
    if (rpos > nturns - 1) {
        rstep = drawrandom() % 5 + 1;
        rpos = drawrandom() % 5;
    }
    return radoz[rpos];
}

// New heading and lane offset for a block end, by old heading and turn outcome. The turn from
// -x onto +z sets its offset from -ccmove - speed, unlike the other two ways onto +z.
static void turncar(car &c, int chancer) {
    static const int next[4][3] = {{0, 1, 3}, {0, 1, 2}, {1, 2, 3}, {0, 2, 3}};
    int s = next[c.state][chancer];
    double o = (s == 0 || s == 3) ? (double)ccmove - c.speed : (double)c.speed - ccmove;
    if (c.state == 1 && chancer == 2) o = -(double)ccmove - c.speed;
    c.state = s;
    c.offzet = (GLfloat)o;
}

// With 6000 cars in random headings a branch on the heading would be mispredicted for most of
// them, so the heading picks by index: the coordinate that moves, and the axis of the offset.
// The bound and block length come in as arguments: read from their globals, they would be
// reloaded after every store to a car, since a store to a float may alias them.
static inline void move(car &c, double bound, double block) {
    int s = c.state;
    bool alongz = s == 0 || s == 2; // headings 0 and 2 drive along z, the others along x
    bool back = s == 0 || s == 1;   // headings 0 and 1 drive toward the negative bound
    GLfloat *const axes[2] = {&c.xpos, &c.zpos};
    GLfloat &p = *axes[alongz];
    double dir = 1.0 - 2.0 * back; // a - b is a + (-1 * b) exactly
    double speed = c.speed;

    // Bound and block tests see the exact sums, before they are rounded into the record.
    double v = (double)p + dir * speed;
    double b = (double)c.blockm + speed;
    p = (GLfloat)v;
    if (dir * v > bound) {
        p = (GLfloat)(back ? bound : -bound);
        b = speed; // the wrap clears the count, then this step's distance is counted
    }
    c.blockm = (GLfloat)b;
    if (b > block) {
        double e = b - block; // the overshoot, dropped: the car turns on the block end
        p = (GLfloat)(p - dir * e);
        c.blockm = 0.0f;
        turncar(c, Randooz());
    }
}

void movecar(int i) {
    move(carz[i], cbound, mmover);
}

// The lane offset moves the whole box across the direction of travel; it is never rotated.
// The other axis adds -0.0, which leaves every value as it is, signed zeros too. The far
// corner adds position, extent, then offset, left to right.
void placecar(int i) {
    const car &c = carz[i];
    double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos;
    bool alongz = c.state == 0 || c.state == 2; // then the offset is along x
    const double offs[2] = {-0.0, c.offzet};
    double ox = offs[alongz], oz = offs[!alongz];
    GLfloat x0 = (GLfloat)(x + ox), x1 = (GLfloat)(x + w + ox);
    GLfloat z0 = (GLfloat)(z + oz), z1 = (GLfloat)(z + d + oz);
    // Box corners: 0-3 around the face at z0, 4-7 the same at z1; 1, 2, 5, 6 at x1. The y
    // values stay as built.
    Vertex3 *v = &car_verts[8 * i];
    v[0].x = x0, v[0].z = z0;
    v[1].x = x1, v[1].z = z0;
    v[2].x = x1, v[2].z = z0;
    v[3].x = x0, v[3].z = z0;
    v[4].x = x0, v[4].z = z1;
    v[5].x = x1, v[5].z = z1;
    v[6].x = x1, v[6].z = z1;
    v[7].x = x0, v[7].z = z1;
}

// A car's move and its vertices touch nothing of any other car, so each car is moved and
// redrawn in one go. Block ends read the turn table in car order.
void traffic() {
    double bound = cbound, block = mmover;
    for (int i = 0; i < ncars; i++) {
        move(carz[i], bound, block);
        placecar(i);
    }
}
