// check.cpp -- the scene's invariants, checked after generation and after every frame
#include "replay.h"

#include "scene/scene.h"

#include <cmath> // std::isfinite
#include <cstdarg>
#include <cstring> // memcmp, memcpy

static char msg[256];

static const char *broken(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(msg, sizeof msg, fmt, ap);
    va_end(ap);
    return msg;
}

#define TRY(x)                                                                                     \
    do {                                                                                           \
        if (const char *why_ = (x)) return why_;                                                   \
    } while (0)

// ---- snapshots, taken once the mesh is built: static, so a frame allocates nothing ----
static city snapcity[nbuildings];
static Vertex3 snapcityverts[ncityverts];
static GLuint snapcityindexes[ncityindexes];
static car snapcar[ncars];
static Vertex3 snapcarcolors[ncarverts];
static GLuint snapcarindexes[ncarindexes];
static cloud snapcloud[nclouds];
static flooro snapfloor[ntiles];
static Vertex3 snapfloorcolors[nfloorverts + 1];
static GLuint snapfloorindexes[nfloorverts + 1];
static GLuint snapcloudindexes[ncloudverts + 1];
static int snapradoz[nturns];
static Vertex3 snaplastcolors[8]; // building 11999, which the colour sweep never reaches
static int snapccb1;
static bool camactive[ncams]; // a camera's counters are bounded once it has run

static const GLuint boxquads[24] = {0, 1, 2, 3, 1, 5, 6, 2, 5, 6, 7, 4,
                                    0, 3, 7, 4, 0, 4, 5, 1, 3, 2, 6, 7};

static bool fin(GLfloat v) {
    return std::isfinite(v);
}
static GLfloat sum(GLfloat a, GLfloat b) {
    return (GLfloat)((double)a + b);
}
static bool same(const Vertex3 &a, GLfloat x, GLfloat y, GLfloat z) {
    return a.x == x && a.y == y && a.z == z;
}
static bool unit(GLfloat v) {
    return v >= 0.0f && v <= 1.0f;
}

// The first entry where two arrays differ, for the message.
static long firstdiff(const void *a, const void *b, long n, long width) {
    const unsigned char *p = (const unsigned char *)a, *q = (const unsigned char *)b;
    for (long i = 0; i < n; i++)
        if (p[i] != q[i]) return i / width;
    return -1;
}

#define SAME(a, snap, what)                                                                        \
    do {                                                                                           \
        if (memcmp(a, snap, sizeof(a)) != 0)                                                       \
            return broken("%s entry %ld changed since mesh building", what,                        \
                          firstdiff(a, snap, sizeof(a), sizeof(a[0])));                            \
    } while (0)

// ---- the mesh as built from the records ----

static const char *checkbox(const char *layer, int i, const Vertex3 *v, GLfloat x, GLfloat y,
                            GLfloat z, GLfloat w, GLfloat h, GLfloat d) {
    GLfloat xw = sum(x, w), yh = sum(y, h), zd = sum(z, d);
    const GLfloat want[8][3] = {{x, y, z},  {xw, y, z},  {xw, yh, z},  {x, yh, z},
                                {x, y, zd}, {xw, y, zd}, {xw, yh, zd}, {x, yh, zd}};
    for (int k = 0; k < 8; k++)
        if (!same(v[k], want[k][0], want[k][1], want[k][2]))
            return broken("%s %d: vertex %d does not match its record", layer, i, k);
    return nullptr;
}

static const char *checkboxindexes(const char *layer, const GLuint *ix, int n) {
    for (int i = 0; i < n; i++)
        for (int m = 0; m < 24; m++)
            if (ix[24 * i + m] != (GLuint)(8 * i) + boxquads[m])
                return broken("%s index %d is %u, not %u", layer, 24 * i + m, ix[24 * i + m],
                              (GLuint)(8 * i) + boxquads[m]);
    return nullptr;
}

static const char *checkcolours(const char *layer, int i, const Vertex3 *c, int n, GLfloat r,
                                GLfloat g, GLfloat b) {
    for (int k = 0; k < n; k++)
        if (!same(c[k], r, g, b))
            return broken("%s %d: colour %d differs from its record", layer, i, k);
    if (!unit(r) || !unit(g) || !unit(b)) return broken("%s %d: colour outside 0 to 1", layer, i);
    return nullptr;
}

static const char *checkmesh() {
    for (int i = 0; i < nbuildings; i++) {
        const city &c = cityz[i];
        const GLfloat f[] = {c.xpos, c.ypos, c.zpos, c.speed, c.wpos,
                             c.hpos, c.dpos, c.r,    c.g,     c.b};
        for (GLfloat v : f)
            if (!fin(v)) return broken("building %d: a field is not finite", i);
        TRY(checkbox("building", i, &city_verts[8 * i], c.xpos, c.ypos, c.zpos, c.wpos, c.hpos,
                     c.dpos));
        TRY(checkcolours("building", i, &city_colors[8 * i], 8, c.r, c.g, c.b));
    }
    TRY(checkboxindexes("building", city_indexes, nbuildings));
    for (int i = 0; i < ncars; i++) {
        const car &c = carz[i];
        TRY(checkcolours("car", i, &car_colors[8 * i], 8, c.r, c.g, c.b));
    }
    TRY(checkboxindexes("car", car_indexes, ncars));
    for (int i = 0; i < ntiles; i++) {
        const flooro &t = floorz[i];
        TRY(checkcolours("ground tile", i, &floor_colors[4 * i], 4, t.r, t.g, t.b));
    }
    for (int k = 0; k < nfloorverts; k++)
        if (floor_indexes[k] != (GLuint)k) return broken("ground index %d is not %d", k, k);
    for (int k = 0; k < ncloudverts; k++)
        if (cloud_indexes[k] != (GLuint)k) return broken("cloud index %d is not %d", k, k);
    return nullptr;
}

// ---- what the animation rewrites: checked every frame ----

// The lane offset is one of the values a block end can give it, or 0 before the first.
static bool laneoffset(const car &c) {
    GLfloat o = c.offzet;
    return o == 0.0f || o == (GLfloat)((double)ccmove - c.speed) ||
           o == (GLfloat)((double)c.speed - ccmove) || o == (GLfloat)(-(double)ccmove - c.speed);
}

static const char *checkcars() {
    for (int i = 0; i < ncars; i++) {
        const car &c = carz[i];
        const car &s = snapcar[i];
        if (!fin(c.xpos) || !fin(c.zpos) || !fin(c.offzet) || !fin(c.blockm))
            return broken("car %d: a coordinate is not finite", i);
        if (c.state < 0 || c.state > 3) return broken("car %d: state %d is not 0 to 3", i, c.state);
        if (c.xpos < -cbound || c.xpos > cbound || c.zpos < -cbound || c.zpos > cbound)
            return broken("car %d: grid position (%g, %g) outside +-cbound", i, c.xpos, c.zpos);
        if (!(c.blockm >= 0.0f && c.blockm <= mmover))
            return broken("car %d: blockm %g outside 0 to mmover", i, c.blockm);
        if (!laneoffset(c)) return broken("car %d: offzet %g is no lane offset", i, c.offzet);
        if ((c.ypos != s.ypos) | (c.speed != s.speed) | (c.wpos != s.wpos) | (c.hpos != s.hpos) |
            (c.dpos != s.dpos) | (c.r != s.r) | (c.g != s.g) | (c.b != s.b))
            return broken("car %d: a field the traffic never writes changed", i);

        // Vertices per the traffic's table: the offset across the heading only; y as built.
        double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos, o = c.offzet;
        GLfloat x0, x1, z0, z1;
        if (c.state == 0 || c.state == 2) {
            x0 = (GLfloat)(x + o), x1 = (GLfloat)(x + w + o);
            z0 = (GLfloat)z, z1 = (GLfloat)(z + d);
        } else {
            x0 = (GLfloat)x, x1 = (GLfloat)(x + w);
            z0 = (GLfloat)(z + o), z1 = (GLfloat)(z + d + o);
        }
        GLfloat y0 = c.ypos, y1 = sum(c.ypos, c.hpos);
        const Vertex3 *v = &car_verts[8 * i];
        // Straight-line compares, so the common case has no branch per vertex.
        bool ok = (v[0].x == x0) & (v[3].x == x0) & (v[4].x == x0) & (v[7].x == x0) &
                  (v[1].x == x1) & (v[2].x == x1) & (v[5].x == x1) & (v[6].x == x1) &
                  (v[0].y == y0) & (v[1].y == y0) & (v[4].y == y0) & (v[5].y == y0) &
                  (v[2].y == y1) & (v[3].y == y1) & (v[6].y == y1) & (v[7].y == y1) &
                  (v[0].z == z0) & (v[1].z == z0) & (v[2].z == z0) & (v[3].z == z0) &
                  (v[4].z == z1) & (v[5].z == z1) & (v[6].z == z1) & (v[7].z == z1);
        if (ok) continue;
        static const bool highx[8] = {0, 1, 1, 0, 0, 1, 1, 0};
        static const bool highy[8] = {0, 0, 1, 1, 0, 0, 1, 1};
        for (int n = 0; n < 8; n++)
            if (!same(v[n], highx[n] ? x1 : x0, highy[n] ? y1 : y0, n < 4 ? z0 : z1))
                return broken("car %d: vertex %d does not match its record", i, n);
    }
    return nullptr;
}

// Clouds and tiles: zpos not below -8000 once drifted, the quad's z from the record, and
// x, y and the fields the drift never writes as built.
static const char *checkquad(const char *layer, int i, bool drifted, GLfloat zpos, GLfloat hpos,
                             GLfloat xpos, GLfloat ypos, GLfloat wpos, const Vertex3 *v) {
    if (!fin(zpos)) return broken("%s %d: zpos is not finite", layer, i);
    if (drifted && zpos < -8000.0f) return broken("%s %d: zpos %g below -8000", layer, i, zpos);
    GLfloat far = sum(zpos, hpos), xw = sum(xpos, wpos);
    if (!same(v[0], xpos, ypos, zpos) || !same(v[1], xw, ypos, zpos) ||
        !same(v[2], xw, ypos, far) || !same(v[3], xpos, ypos, far))
        return broken("%s %d: its quad does not match zpos and zpos + hpos", layer, i);
    return nullptr;
}

static const char *checkdrift(bool drifted) {
    for (int i = 0; i < nclouds; i++) {
        const cloud &c = cloudz[i], &s = snapcloud[i];
        if (c.xpos != s.xpos || c.ypos != s.ypos || c.speed != s.speed || c.wpos != s.wpos ||
            c.hpos != s.hpos)
            return broken("cloud %d: a field the drift never writes changed", i);
        // Clouds start at most at 7998, and a wrap lands at most one step beyond +8000.
        if (c.zpos > (GLfloat)(8000.0 + c.speed))
            return broken("cloud %d: zpos %g above 8000 + speed", i, c.zpos);
        TRY(checkquad("cloud", i, drifted, c.zpos, c.hpos, c.xpos, c.ypos, c.wpos,
                      &cloud_verts[4 * i]));
    }
    for (int i = 0; i < ntiles; i++) {
        const flooro &t = floorz[i], &s = snapfloor[i];
        if (t.xpos != s.xpos || t.ypos != s.ypos || t.speed != s.speed || t.wpos != s.wpos ||
            t.hpos != s.hpos || t.r != s.r || t.g != s.g || t.b != s.b)
            return broken("ground tile %d: a field the drift never writes changed", i);
        // Tiles start as low as -15000, so their first wrap may land near +15000.
        if (t.zpos > (GLfloat)(15000.0 + t.speed))
            return broken("ground tile %d: zpos %g above 15000 + speed", i, t.zpos);
        TRY(checkquad("ground tile", i, drifted, t.zpos, t.hpos, t.xpos, t.ypos, t.wpos,
                      &floor_verts[4 * i]));
    }
    return nullptr;
}

static bool between(GLfloat v, GLfloat a, GLfloat b) {
    return a <= b ? v >= a && v <= b : v >= b && v <= a;
}

static const char *checkcams() {
    for (int k = 0; k < ncams; k++) {
        const GLfloat *f = &mycamz[k].xcampos;
        for (int n = 0; n < 18; n++)
            if (!fin(f[n])) return broken("camera %d: coordinate %d is not finite", k, n);
    }
    const mycam &r = mycamz[0], &c = mycamz[1];
    if (r.looktime != 141 || c.looktime != 101) return broken("a camera's looktime changed");
    if (camactive[0]) {
        if (r.camtime < 50 || r.camtime > 309)
            return broken("roaming camera: camtime %d outside 50 to 309", r.camtime);
        if (r.camcounter < 0 || r.camcounter > r.camtime)
            return broken("roaming camera: camcounter %d outside 0 to camtime", r.camcounter);
        if (r.lookcounter < 0 || r.lookcounter > r.looktime)
            return broken("roaming camera: lookcounter %d outside 0 to looktime", r.lookcounter);
        if (!between(r.xcam, r.xcamoldpos, r.xcampos) ||
            !between(r.ycam, r.ycamoldpos, r.ycampos) || !between(r.zcam, r.zcamoldpos, r.zcampos))
            return broken("roaming camera: eye not between its waypoints");
        if (!between(r.xlook, r.xlookoldpos, r.xlookpos) ||
            !between(r.ylook, r.ylookoldpos, r.ylookpos) ||
            !between(r.zlook, r.zlookoldpos, r.zlookpos))
            return broken("roaming camera: look-at point not between its waypoints");
    }
    if (camactive[1]) {
        if (c.lookcounter < 0 || c.lookcounter > c.looktime)
            return broken("car camera: lookcounter %d outside 0 to looktime", c.lookcounter);
        if (c.ycam != 27.0f) return broken("car camera: eye height %g, not 27", c.ycam);
        if (!between(c.xlook, c.xlookoldpos, c.xlookpos) ||
            !between(c.ylook, c.ylookoldpos, c.ylookpos) ||
            !between(c.zlook, c.zlookoldpos, c.zlookpos))
            return broken("car camera: look-at point not between its waypoints");
    }
    if (c.camcounter != 0 || c.camtime != 0) return broken("car camera: its eye leg was used");
    return nullptr;
}

#define RANGE(v, lo, hi)                                                                           \
    do {                                                                                           \
        if ((v) < (lo) || (v) > (hi)) return broken(#v " %d outside " #lo " to " #hi, (v));        \
    } while (0)

static const char *checkscalars() {
    RANGE(whichcam, 0, 1);
    RANGE(fxcounter, 1200, 2000);
    RANGE(fx, 0, 1);
    RANGE(maxfx, 1, 1);
    RANGE(camcc1, 0, 2);
    RANGE(camcc2, 0, 2);
    RANGE(rpos, 0, 5999);
    RANGE(rstep, 1, 5);
    RANGE(colstepz, 0, 11998);
    RANGE(ccr1, 1, 30);
    RANGE(ccg1, 1, 30);
    RANGE(ccb1, 1, 30);
    RANGE(ccr2, 1, 30);
    RANGE(ccb2, 1, 30);
    RANGE(ccg2, 1, 60);
    if (ccb1 != snapccb1) return broken("ccb1 changed from %d to %d", snapccb1, ccb1);
    if (mmover != 400.0f || ccmove != 20.0f || cbound != 6000.0f)
        return broken("a tuning value (mmover, ccmove, cbound) changed");
    return nullptr;
}

// A recoloured building: all eight entries alike, a grey of 0.01 to 0.50 or a tint whose
// channels lie between (1/6 + 1)/100 and 0.31.
static const char *checkrecoloured(int b) {
    const Vertex3 *c = &city_colors[8 * b];
    for (int k = 0; k < 8; k++) {
        if (!fin(c[k].x) || !fin(c[k].y) || !fin(c[k].z))
            return broken("building %d: colour %d is not finite", b, k);
        if (!same(c[k], c[0].x, c[0].y, c[0].z))
            return broken("building %d: its eight colours differ", b);
    }
    bool grey = c[0].x == c[0].y && c[0].y == c[0].z && c[0].x >= (GLfloat)(1 / 100.0) &&
                c[0].x <= (GLfloat)(50 / 100.0);
    const GLfloat lo = (GLfloat)((1.0 / 6 + 1) / 100.0), hi = 0.31f;
    bool tint = c[0].x >= lo && c[0].x <= hi && c[0].y >= lo && c[0].y <= hi && c[0].z >= lo &&
                c[0].z <= hi;
    if (!grey && !tint)
        return broken("building %d: colour (%g, %g, %g) is neither a tint nor a grey", b, c[0].x,
                      c[0].y, c[0].z);
    return nullptr;
}

// ---- entry points ----

const char *checkstart() {
    TRY(checkmesh());
    memcpy(snapcity, cityz, sizeof cityz);
    memcpy(snapcityverts, city_verts, sizeof city_verts);
    memcpy(snapcityindexes, city_indexes, sizeof city_indexes);
    memcpy(snapcar, carz, sizeof carz);
    memcpy(snapcarcolors, car_colors, sizeof car_colors);
    memcpy(snapcarindexes, car_indexes, sizeof car_indexes);
    memcpy(snapcloud, cloudz, sizeof cloudz);
    memcpy(snapfloor, floorz, sizeof floorz);
    memcpy(snapfloorcolors, floor_colors, sizeof floor_colors);
    memcpy(snapfloorindexes, floor_indexes, sizeof floor_indexes);
    memcpy(snapcloudindexes, cloud_indexes, sizeof cloud_indexes);
    memcpy(snapradoz, radoz, sizeof radoz);
    memcpy(snaplastcolors, &city_colors[8 * (nbuildings - 1)], sizeof snaplastcolors);
    snapccb1 = ccb1;
    camactive[0] = camactive[1] = false;
    // The spare last entries are never written.
    if (!same(cloud_verts[ncloudverts], 0, 0, 0) || !same(floor_verts[nfloorverts], 0, 0, 0) ||
        !same(floor_colors[nfloorverts], 0, 0, 0) || cloud_indexes[ncloudverts] != 0 ||
        floor_indexes[nfloorverts] != 0)
        return broken("a spare last entry of the cloud or ground arrays is not zero");
    for (int i = 0; i < nturns; i++)
        if (radoz[i] < 0 || radoz[i] > 2)
            return broken("radoz[%d] = %d is not 0 to 2", i, radoz[i]);
    TRY(checkscalars());
    TRY(checkcars());
    TRY(checkdrift(false));
    return checkcams();
}

const char *checkframe(uint64_t frame) {
    camactive[whichcam & 1] = true; // the camera drawn is the one this step advanced
    TRY(checkscalars());
    // Ten passes a frame over 11999 buildings.
    int want = (int)(frame % 11999 * 10 % 11999);
    if (colstepz != want)
        return broken("colstepz %d, not %d after %llu frames", colstepz, want,
                      (unsigned long long)frame);
    TRY(checkcars());
    TRY(checkdrift(true));
    TRY(checkcams());
    for (int k = 1; k <= 10; k++) // the ten buildings this frame recoloured
        TRY(checkrecoloured((colstepz - k + 11999) % 11999));
    return nullptr;
}

const char *checkuntouched() {
    SAME(cityz, snapcity, "cityz");
    SAME(city_verts, snapcityverts, "city_verts");
    SAME(city_indexes, snapcityindexes, "city_indexes");
    SAME(car_colors, snapcarcolors, "car_colors");
    SAME(car_indexes, snapcarindexes, "car_indexes");
    SAME(floor_colors, snapfloorcolors, "floor_colors");
    SAME(floor_indexes, snapfloorindexes, "floor_indexes");
    SAME(cloud_indexes, snapcloudindexes, "cloud_indexes");
    SAME(radoz, snapradoz, "radoz");
    if (memcmp(&city_colors[8 * (nbuildings - 1)], snaplastcolors, sizeof snaplastcolors) != 0)
        return broken("building 11999 was recoloured; the sweep never reaches it");
    if (!same(cloud_verts[ncloudverts], 0, 0, 0) || !same(floor_verts[nfloorverts], 0, 0, 0))
        return broken("a spare last vertex of the cloud or ground arrays was written");
    for (int k = 0; k < ncityverts; k++) {
        const Vertex3 &c = city_colors[k];
        if (!fin(c.x) || !fin(c.y) || !fin(c.z) || !unit(c.x) || !unit(c.y) || !unit(c.z))
            return broken("city_colors entry %d outside 0 to 1", k);
    }
    return nullptr;
}
