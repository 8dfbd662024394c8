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
    double ahead = (double)ccmove - c.speed; // for new headings 0 and 3
    double back = (double)c.speed - ccmove;  // for new headings 1 and 2
    static const int next[4][3] = {{0, 1, 3}, {0, 1, 2}, {1, 2, 3}, {0, 2, 3}};
    int s = next[c.state][chancer];
    double o = (s == 0 || s == 3) ? ahead : back;
    if (c.state == 1 && chancer == 2) o = -(double)ccmove - c.speed;
    c.state = s;
    c.offzet = (GLfloat)o;
}

void movecar(int i) {
    car &c = carz[i];
    int s = c.state;
    // Bound and block tests see the exact sums, before they are rounded into the record.
    double v;
    switch (s) {
    case 0:
        v = (double)c.zpos - c.speed;
        c.zpos = (GLfloat)v;
        if (v < -(double)cbound) c.zpos = cbound, c.blockm = 0.0f;
        break;
    case 1:
        v = (double)c.xpos - c.speed;
        c.xpos = (GLfloat)v;
        if (v < -(double)cbound) c.xpos = cbound, c.blockm = 0.0f;
        break;
    case 2:
        v = (double)c.zpos + c.speed;
        c.zpos = (GLfloat)v;
        if (v > (double)cbound) c.zpos = -cbound, c.blockm = 0.0f;
        break;
    default:
        v = (double)c.xpos + c.speed;
        c.xpos = (GLfloat)v;
        if (v > (double)cbound) c.xpos = -cbound, c.blockm = 0.0f;
        break;
    }

    double b = (double)c.blockm + c.speed;
    c.blockm = (GLfloat)b;
    if (b > (double)mmover) {
        double e = b - mmover; // the overshoot, dropped: the car turns on the block end
        switch (s) {
        case 0: c.zpos = (GLfloat)(c.zpos + e); break;
        case 1: c.xpos = (GLfloat)(c.xpos + e); break;
        case 2: c.zpos = (GLfloat)(c.zpos - e); break;
        default: c.xpos = (GLfloat)(c.xpos - e); break;
        }
        c.blockm = 0.0f;
        turncar(c, Randooz());
    }
}

// The lane offset moves the whole box across the direction of travel; it is never rotated.
void placecar(int i) {
    const car &c = carz[i];
    Vertex3 *v = &car_verts[8 * i];
    double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos, o = c.offzet;
    GLfloat x0, x1, z0, z1;
    if (c.state == 0 || c.state == 2) {
        x0 = (GLfloat)(x + o);
        x1 = (GLfloat)(x + w + o);
        z0 = (GLfloat)z;
        z1 = (GLfloat)(z + d);
    } else {
        x0 = (GLfloat)x;
        x1 = (GLfloat)(x + w);
        z0 = (GLfloat)(z + o);
        z1 = (GLfloat)(z + d + o);
    }
    static const bool highx[8] = {0, 1, 1, 0, 0, 1, 1, 0};
    for (int n = 0; n < 8; n++) {
        v[n].x = highx[n] ? x1 : x0;
        v[n].z = n < 4 ? z0 : z1;
    }
}

void traffic() {
    for (int i = 0; i < ncars; i++) {
        movecar(i);
        placecar(i);
    }
}
