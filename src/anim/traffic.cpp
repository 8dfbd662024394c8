// traffic.cpp -- cars driving the road grid, turning as the turn table says
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

// Headings 0 and 2 drive along z, 1 and 3 along x; 0 and 1 toward the negative bound.
static bool alongz(const car &c) {
    return c.state == 0 || c.state == 2;
}

void movecar(int i) {
    car &c = carz[i];
    bool back = c.state == 0 || c.state == 1;
    GLfloat &p = alongz(c) ? c.zpos : c.xpos;
    double dir = back ? -1.0 : 1.0; // a - b is a + (-1 * b) exactly
    double speed = c.speed;

    // Bound and block tests see the exact sums, before they are rounded into the record.
    double v = (double)p + dir * speed;
    double b = (double)c.blockm + speed;
    p = (GLfloat)v;
    if (dir * v > cbound) {
        p = back ? cbound : -cbound;
        b = speed; // the wrap clears the count, then this step's distance is counted
    }
    c.blockm = (GLfloat)b;
    if (b > mmover) {
        double e = b - mmover; // the overshoot, dropped: the car turns on the block end
        p = (GLfloat)(p - dir * e);
        c.blockm = 0.0f;
        turncar(c, Randooz());
    }
}

// The lane offset moves the whole box across the direction of travel; it is never rotated.
// The far corner adds position, extent, then offset, left to right.
void placecar(int i) {
    const car &c = carz[i];
    double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos, o = c.offzet;
    GLfloat x0, x1, z0, z1;
    if (alongz(c)) {
        x0 = (GLfloat)(x + o), x1 = (GLfloat)(x + w + o);
        z0 = c.zpos, z1 = (GLfloat)(z + d);
    } else {
        x0 = c.xpos, x1 = (GLfloat)(x + w);
        z0 = (GLfloat)(z + o), z1 = (GLfloat)(z + d + o);
    }
    // Box corners: 0-3 around the face at z0, 4-7 the same at z1; 1, 2, 5, 6 at x1. The y
    // values stay as built.
    Vertex3 *v = &car_verts[8 * i];
    const GLfloat xs[8] = {x0, x1, x1, x0, x0, x1, x1, x0};
    for (int n = 0; n < 8; n++) {
        v[n].x = xs[n];
        v[n].z = n < 4 ? z0 : z1;
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
