// traffic.cpp -- cars driving the road grid, turning as the turn table says
#include "anim.h"

#include "../scene/random.h"
#include "../scene/scene.h"

#include <cstddef> // offsetof
#include <cstring> // memcpy

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

// Every car goes through the same code whatever its heading: with 6000 cars in random
// headings a branch per heading would be mispredicted for most of them. The axis is picked by
// its offset in the record and the sign by a factor of +1 or -1; a - b is a + (-1 * b) exactly.
// The bound and the block length come in as arguments: read from their globals, they would be
// reloaded after every store to a car, since a store to a float may alias them.
static inline void move(car &c, double bound, double block) {
    int s = c.state;
    bool alongz = s == 0 || s == 2; // headings 0 and 2 drive along z, the others along x
    bool back = s == 0 || s == 1;   // headings 0 and 1 drive toward the negative bound
    size_t at = alongz ? offsetof(car, zpos) : offsetof(car, xpos);
    GLfloat &p = *(GLfloat *)((char *)&c + at);
    double dir = 1.0 - 2.0 * back;
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

static_assert(sizeof(Vertex3) == 3 * sizeof(GLfloat), "vertices are packed float triples");

// One 8-byte store for two floats that lie side by side: in a packed Vertex3 array a vertex's
// z is directly followed by the next vertex's x. Half the stores of writing them one by one.
static void pair(GLfloat *at, GLfloat a, GLfloat b) {
    GLfloat two[2] = {a, b};
    memcpy(at, two, sizeof two);
}

// The lane offset moves the whole box across the direction of travel; it is never rotated.
// Adding -0.0 leaves every value as it is (signed zeros too), so the axis without the offset
// goes through the same sums as the one with it.
static inline void place(const car &c, GLfloat *f) {
    double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos, o = c.offzet;
    bool alongz = c.state == 0 || c.state == 2;
    const double offs[2] = {-0.0, o}; // picked by index: a branch here would be mispredicted
    double ox = offs[alongz], oz = offs[!alongz];
    GLfloat x0 = (GLfloat)(x + ox), x1 = (GLfloat)(x + w + ox);
    GLfloat z0 = (GLfloat)(z + oz), z1 = (GLfloat)(z + d + oz);
    // Box corners: 0-3 around the face at z0, 4-7 the same at z1; 1, 2, 5, 6 at x1. Float 3n
    // is the x of corner n, 3n + 2 its z; the y in between stays as built.
    f[0] = x0;
    pair(f + 2, z0, x1);
    pair(f + 5, z0, x1);
    pair(f + 8, z0, x0);
    pair(f + 11, z0, x0);
    pair(f + 14, z1, x1);
    pair(f + 17, z1, x1);
    pair(f + 20, z1, x0);
    f[23] = z1;
}

void placecar(int i) {
    place(carz[i], &car_verts[8 * i].x);
}

// All cars move, then all are redrawn: a car's move and its vertices touch nothing of any
// other car, so the order gives the same arrays, and the two tight loops run faster than one
// loop doing both (fewer stores in flight per car).
void traffic() {
    const double bound = cbound, block = mmover;
    for (int i = 0; i < ncars; i++)
        move(carz[i], bound, block);
    for (int i = 0; i < ncars; i++)
        place(carz[i], &car_verts[8 * i].x);
}
