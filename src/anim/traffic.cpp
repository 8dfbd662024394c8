// traffic.cpp -- cars driving the road grid, turning as the turn table says
// SPDX-License-Identifier: MIT
#include "anim.h"

#include "../scene/random.h"
#include "../scene/scene.h"
#include "../world/world.h" // boxcorners

// A walk over the turn table with a stride that is redrawn whenever it runs off the end.
int Randooz() {
    rpos = rpos + rstep;
    if (rpos > nturns - 1) {
        rstep = drawrandom() % 5 + 1;
        rpos = drawrandom() % 5;
    }
    return radoz[rpos];
}

// New heading by old heading and turn outcome.
static const int next[4][3] = {{0, 1, 3}, {0, 1, 2}, {1, 2, 3}, {0, 2, 3}};

// The turn from -x onto +z sets its offset from -ccmove - speed, unlike the other two ways
// onto +z.
double laneoffset(int from, int chancer, GLfloat speed) {
    if (from == 1 && chancer == 2) return -(double)ccmove - speed;
    int s = next[from][chancer];
    return (s == 0 || s == 3) ? (double)ccmove - speed : (double)speed - ccmove;
}

// The heading picks the moving coordinate and the direction by index, not by branch: with 6000
// cars in random headings a branch is mispredicted for most of them (twice the step's time).
// The bound and block length are read once: a store to a car's float may alias the globals.
void movecar(int i) {
    car &c = carz[i];
    bool alongz = c.state == 0 || c.state == 2; // headings 0 and 2 drive along z, 1 and 3 along x
    bool back = c.state == 0 || c.state == 1;   // headings 0 and 1 drive toward the negative bound
    GLfloat *const axes[2] = {&c.xpos, &c.zpos};
    GLfloat &p = *axes[alongz];
    double dir = 1.0 - 2.0 * back; // a - b is a + (-1 * b) exactly
    double speed = c.speed, bound = cbound, block = mmover;

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
        int chancer = Randooz();
        c.offzet = (GLfloat)laneoffset(c.state, chancer, c.speed);
        c.state = next[c.state][chancer];
    }
}

// The lane offset moves the whole box across the direction of travel; it is never rotated.
// The other axis adds -0.0, which leaves every value as it is, signed zeros too. The far
// corner adds position, extent, then offset, left to right. The y values are as built.
void placecar(int i) {
    const car &c = carz[i];
    double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos;
    bool alongz = c.state == 0 || c.state == 2; // then the offset is along x
    const double offs[2] = {-0.0, c.offzet};    // by index, as movecar picks its axis
    double ox = offs[alongz], oz = offs[!alongz];
    GLfloat x0 = (GLfloat)(x + ox), x1 = (GLfloat)(x + w + ox);
    GLfloat z0 = (GLfloat)(z + oz), z1 = (GLfloat)(z + d + oz);
    Vertex3 *v = &car_verts[8 * i];
#pragma GCC unroll 8 // kept as a loop, the step takes half as long again
    for (int k = 0; k < 8; k++) {
        v[k].x = boxcorners[k].x ? x1 : x0;
        v[k].z = boxcorners[k].z ? z1 : z0;
    }
}

// A car's move and its vertices touch nothing of any other car, so each car is moved and
// redrawn in one go. Block ends read the turn table in car order.
void traffic() {
    for (int i = 0; i < ncars; i++) {
        movecar(i);
        placecar(i);
    }
}
